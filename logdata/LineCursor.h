// Reads the lines of a text file one after another from a byte offset, through
// a buffer of its own, and hands each out as a view into that buffer. A line
// ends at a line feed; the line feed and one carriage return before it are not
// part of the line. A last line without a line feed ends at the end of the
// file. Several cursors may read the same file at once. At least kSlackBytes
// readable bytes follow every line it hands out, for readers that scan a line
// sixteen bytes at a time.
#ifndef TRIMWRIGHT_LOGDATA_LINECURSOR_H_
#define TRIMWRIGHT_LOGDATA_LINECURSOR_H_

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "common/DiskFile.h"

namespace trimwright {

class LineCursor {
 public:
  // A read of the file failed.
  class ReadError : public std::runtime_error {
   public:
    ReadError() : std::runtime_error("read error") {}
  };

  static constexpr std::size_t kSlackBytes = 16;

  LineCursor(const DiskFile& file, std::int64_t offset, std::size_t bufferBytes);

  LineCursor(const LineCursor&) = delete;
  LineCursor& operator=(const LineCursor&) = delete;

  // Sets line to the next line and returns true, or returns false when the
  // file has no more bytes. The view is valid until the next call. A line
  // longer than the buffer grows the buffer. Throws ReadError.
  bool Next(std::string_view& line);

 private:
  // Keeps the unread bytes, making room for more, and reads more of the file.
  void Refill();

  const DiskFile& file_;
  std::int64_t fileOffset_;   // where the next read starts
  std::vector<char> buffer_;  // the bytes read, then kSlackBytes never read into
  std::size_t begin_ = 0;     // first unread byte
  std::size_t scanned_ = 0;   // bytes from begin_ known to hold no line feed
  std::size_t end_ = 0;       // end of the bytes read
  bool atEnd_ = false;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_LOGDATA_LINECURSOR_H_
