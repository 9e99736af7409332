#include "logdata/LineCursor.h"

#include <cstring>

namespace trimwright {

namespace {

std::string_view WithoutCarriageReturn(const char* text, std::size_t length) {
  if (length > 0 && text[length - 1] == '\r') --length;
  return {text, length};
}

}  // namespace

LineCursor::LineCursor(const DiskFile& file, std::int64_t offset, std::size_t bufferBytes)
    : file_(file),
      fileOffset_(offset),
      buffer_((bufferBytes > 0 ? bufferBytes : 1) + kSlackBytes) {}

bool LineCursor::Next(std::string_view& line) {
  for (;;) {
    const char* const start = buffer_.data() + begin_;
    const std::size_t available = end_ - begin_;
    const void* feed = std::memchr(start + scanned_, '\n', available - scanned_);
    if (feed != nullptr) {
      const auto length = static_cast<std::size_t>(static_cast<const char*>(feed) - start);
      line = WithoutCarriageReturn(start, length);
      begin_ += length + 1;
      scanned_ = 0;
      return true;
    }
    if (atEnd_) {
      if (available == 0) return false;
      line = WithoutCarriageReturn(start, available);
      begin_ = end_;
      scanned_ = 0;
      return true;
    }
    scanned_ = available;
    Refill();
  }
}

void LineCursor::Refill() {
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  std::size_t room = buffer_.size() - kSlackBytes;
  if (end_ == room) {
    room *= 2;
    buffer_.resize(room + kSlackBytes);
  }
  const std::int64_t got = file_.ReadUpTo(fileOffset_, buffer_.data() + end_, room - end_);
  if (got < 0) throw ReadError();
  if (got == 0) atEnd_ = true;
  fileOffset_ += got;
  end_ += static_cast<std::size_t>(got);
}

}  // namespace trimwright
