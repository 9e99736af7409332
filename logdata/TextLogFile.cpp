#include "logdata/TextLogFile.h"

#include <algorithm>
#include <cstring>
#include <ostream>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/ParallelParts.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

std::int64_t CountLineFeeds(const char* data, std::size_t size) {
  std::int64_t total = 0;
  std::size_t k = 0;
#if defined(__SSE2__)
  // Sixteen byte counters at a time; each takes at most 255 rounds before it
  // is summed, so none overflows.
  const __m128i feed = _mm_set1_epi8('\n');
  const __m128i zero = _mm_setzero_si128();
  while (size - k >= 16) {
    __m128i counters = zero;
    const std::size_t rounds = std::min<std::size_t>((size - k) / 16, 255);
    for (std::size_t r = 0; r < rounds; ++r, k += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + k));
      counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(bytes, feed));
    }
    const __m128i sums = _mm_sad_epu8(counters, zero);
    total += _mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums));
  }
#endif
  for (; k < size; ++k) total += data[k] == '\n' ? 1 : 0;
  return total;
}

}  // namespace

TextLogFile::TextLogFile(const std::string& path, const std::string& diagnosticPrefix,
                         const ReadPlan& plan, Diagnostics& diagnostics)
    : path_(path),
      diagnosticPrefix_(diagnosticPrefix),
      diagnostics_(diagnostics),
      plan_(plan),
      blockBytes_(std::max<std::size_t>(plan.blockBytes, 1)) {
  if (!file_.OpenForReading(path_)) Fail("Unable to open input file ");
  RefuseSpecialLogFile(file_, path_);
}

void TextLogFile::Fail(const std::string& what) const {
  const std::string message = what + path_;
  diagnostics_.FailOnErrorStream(diagnosticPrefix_ + message, message);
}

std::int64_t TextLogFile::CountLineReads() {
  const std::int64_t size = std::max<std::int64_t>(file_.Size(), 0);
  const auto blockCount = static_cast<std::size_t>((size + blockBytes_ - 1) / blockBytes_);
  blocks_.assign(blockCount, Block{});
  const std::size_t parts =
      std::min<std::size_t>(plan_.PartsFor(size), std::max<std::size_t>(blockCount, 1));

  // The last part reads on past the size seen now, for a log still growing.
  std::vector<Block> grown;
  std::vector<char> failed(parts, 0);
  RunParts(parts, [&](std::size_t p) {
    const std::size_t first = p * blockCount / parts;
    const std::size_t last = (p + 1) * blockCount / parts;
    const bool isLast = p + 1 == parts;
    failed[p] = CountBlocks(first, last, isLast, grown) ? 0 : 1;
  });
  if (std::find(failed.begin(), failed.end(), 1) != failed.end()) {
    Fail("Unable to read input file ");
  }
  blocks_.insert(blocks_.end(), grown.begin(), grown.end());

  std::int64_t lineFeeds = 0;
  for (const Block& block : blocks_) lineFeeds += block.lineFeeds;
  return lineFeeds + 1;
}

bool TextLogFile::CountBlocks(std::size_t first, std::size_t last, bool toTheEnd,
                              std::vector<Block>& grown) {
  std::vector<char> buffer(blockBytes_);
  for (std::size_t b = first; b < last || toTheEnd; ++b) {
    const auto offset = static_cast<std::int64_t>(b * blockBytes_);
    const std::int64_t got = file_.ReadUpTo(offset, buffer.data(), buffer.size());
    if (got < 0) return false;
    if (got == 0) return true;
    const auto size = static_cast<std::size_t>(got);
    Block block;
    block.end = offset + got;
    block.lineFeeds = CountLineFeeds(buffer.data(), size);
    if (block.lineFeeds > 0) {
      const auto* lastFeed = static_cast<const char*>(memrchr(buffer.data(), '\n', size));
      block.afterLastFeed = offset + (lastFeed - buffer.data()) + 1;
    }
    if (b < last) {
      blocks_[b] = block;
    } else {
      grown.push_back(block);
    }
    if (size < blockBytes_) return true;  // the end of the file
  }
  return true;
}

bool TextLogFile::EndsWithoutLineFeed() const {
  std::int64_t end = 0;
  std::int64_t afterLastFeed = 0;
  for (const Block& block : blocks_) {
    end = std::max(end, block.end);
    if (block.lineFeeds > 0) afterLastFeed = block.afterLastFeed;
  }
  return end > afterLastFeed;
}

std::vector<TextLogFile::LineSpan> TextLogFile::SplitLines(std::int64_t lineCount) const {
  const std::size_t blockCount = blocks_.size();
  const std::size_t parts =
      std::min<std::size_t>(plan_.PartsFor(static_cast<std::int64_t>(blockCount * blockBytes_)),
                            std::max<std::size_t>(blockCount, 1));

  // A span starts with the line after the last line feed before one of the
  // evenly spaced blocks.
  std::vector<LineSpan> spans;
  LineSpan span{0, 0, 0};
  std::int64_t feedsBefore = 0;
  std::int64_t afterLastFeed = 0;
  std::size_t block = 0;
  for (std::size_t p = 1; p <= parts; ++p) {
    std::int64_t nextLine = lineCount;
    std::int64_t nextOffset = 0;
    if (p < parts) {
      for (const std::size_t boundary = p * blockCount / parts; block < boundary; ++block) {
        feedsBefore += blocks_[block].lineFeeds;
        if (blocks_[block].lineFeeds > 0) afterLastFeed = blocks_[block].afterLastFeed;
      }
      nextLine = std::min(feedsBefore, lineCount);
      nextOffset = afterLastFeed;
    }
    if (nextLine > span.firstLine) {
      span.lineCount = nextLine - span.firstLine;
      spans.push_back(span);
      span = LineSpan{nextLine, 0, nextOffset};
    }
  }
  return spans;
}

void TextLogFile::ForEachSpan(const std::vector<LineSpan>& spans,
                              const std::function<void(std::size_t, LineCursor&)>& read) {
  try {
    RunParts(spans.size(), [&](std::size_t k) {
      LineCursor cursor(file_, spans[k].offset, blockBytes_);
      read(k, cursor);
    });
  } catch (const LineCursor::ReadError&) {
    Fail("Unable to read input file ");
  }
}

}  // namespace trimwright
