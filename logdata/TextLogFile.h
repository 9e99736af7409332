// A text log opened for the two text readers: opening (a directory or an
// unreadable file counts as not openable), the counting pass, and the decoding
// pass over the record lines, which runs in parts side by side when the file
// is large. Reads through the descriptor with large buffers; never holds more
// of the file than one buffer per part. Not copyable.
#ifndef TRIMWRIGHT_LOGDATA_TEXTLOGFILE_H_
#define TRIMWRIGHT_LOGDATA_TEXTLOGFILE_H_

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Diagnostics.h"
#include "common/DiskFile.h"
#include "logdata/LineCursor.h"
#include "logdata/LoggedData.h"
#include "logdata/ReadPlan.h"

namespace trimwright {

class TextLogFile {
 public:
  // diagnosticPrefix starts every failure line ("" or "PCMcomm:  "). The
  // failure lines go to the error stream of diagnostics (which must outlive
  // the object), then TrimwrightError is thrown.
  TextLogFile(const std::string& path, const std::string& diagnosticPrefix, const ReadPlan& plan,
              Diagnostics& diagnostics);

  TextLogFile(const TextLogFile&) = delete;
  TextLogFile& operator=(const TextLogFile&) = delete;

  // Counts the line reads that reading the file line by line to its end takes,
  // the read that meets the end included: one more than the number of line
  // feeds. A last line without a line feed ends in that read, so it counts
  // once instead of twice. Notes where the line feeds lie, for the parts of
  // the decoding pass.
  std::int64_t CountLineReads();
  // After CountLineReads: whether the file ends in bytes after its last line
  // feed (a last line without a line end).
  bool EndsWithoutLineFeed() const;

  // The decoding pass. Skips headerLines lines, then calls decode(index, line)
  // for the next recordCount lines, in order within each part, index counting
  // from 0 at the first line after the header. decode stores the record at
  // index and returns whether it was accepted; rejection(line) tells the
  // rule of a line it rejected. The pass ends at the end of the file; lines
  // counted but no longer there (the file shrank) count as cut off. Returns
  // each part's first index, number of accepted records and rejections.
  template <typename Decode, typename Reject>
  std::vector<RecordPart> DecodeRecords(std::int64_t headerLines, std::uint32_t recordCount,
                                        Decode decode, Reject rejection);

  void Close() { file_.Close(); }

 private:
  // Lines firstLine .. firstLine + lineCount - 1; the first starts at offset.
  struct LineSpan {
    std::int64_t firstLine;
    std::int64_t lineCount;
    std::int64_t offset;
  };
  // What the counting pass saw in one block of the file.
  struct Block {
    std::int64_t lineFeeds = 0;
    std::int64_t afterLastFeed = -1;  // offset after its last line feed; -1: none
    std::int64_t end = 0;             // offset after its last byte
  };

  // Cuts lines 0 .. lineCount - 1 into consecutive spans of about equal size,
  // at most one per part of the plan.
  std::vector<LineSpan> SplitLines(std::int64_t lineCount) const;

  // Runs read(span number, cursor at the span's first line) for every span,
  // side by side. A read error ends the run with the failure line.
  void ForEachSpan(const std::vector<LineSpan>& spans,
                   const std::function<void(std::size_t, LineCursor&)>& read);

  // Counts the blocks first .. last - 1 into blocks_; the last part goes on
  // past last while there are bytes. False on a read error.
  bool CountBlocks(std::size_t first, std::size_t last, bool toTheEnd, std::vector<Block>& grown);

  [[noreturn]] void Fail(const std::string& what) const;

  std::string path_;
  std::string diagnosticPrefix_;
  Diagnostics& diagnostics_;
  ReadPlan plan_;
  // The unit of reading: the counting pass reads and records one block at a
  // time, and each part of the decoding pass reads through a buffer this size.
  std::size_t blockBytes_;
  DiskFile file_;
  std::vector<Block> blocks_;
};

template <typename Decode, typename Reject>
std::vector<RecordPart> TextLogFile::DecodeRecords(std::int64_t headerLines,
                                                   std::uint32_t recordCount, Decode decode,
                                                   Reject rejection) {
  if (recordCount == 0) return {};
  const std::vector<LineSpan> spans = SplitLines(headerLines + recordCount);
  std::vector<RecordPart> parts(spans.size());
  ForEachSpan(spans, [&](std::size_t k, LineCursor& cursor) {
    const LineSpan& span = spans[k];
    const std::int64_t end = span.firstLine + span.lineCount;
    const auto first =
        static_cast<std::uint32_t>(std::max(span.firstLine, headerLines) - headerLines);
    // Counted here and stored once, so that parts side by side share no
    // cache line while they count.
    RecordPart part;
    part.first = first;
    std::uint32_t index = first;
    std::string_view text;
    std::int64_t line = span.firstLine;
    for (; line < end && cursor.Next(text); ++line) {
      if (line < headerLines) continue;
      if (decode(index, text)) {
        ++index;
      } else {
        ++part.rejected[static_cast<std::size_t>(rejection(text))];
      }
    }
    part.accepted = index - first;
    part.rejected[static_cast<std::size_t>(Rejection::kCutOff)] +=
        static_cast<std::uint64_t>(std::max<std::int64_t>(end - std::max(line, headerLines), 0));
    parts[k] = part;
  });
  return parts;
}

}  // namespace trimwright

#endif  // TRIMWRIGHT_LOGDATA_TEXTLOGFILE_H_
