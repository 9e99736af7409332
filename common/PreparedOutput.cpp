#include "common/PreparedOutput.h"

#include <cerrno>

namespace trimwright {

bool PreparedOutput::Prepare(const std::string& path) {
  path_ = path;
  written_ = false;
  before_.reset();
  if (!file_.OpenForOutput(path, created_)) return false;
  // Reads fail where the file is open for writing only; nothing can be put
  // back then.
  std::string bytes;
  if (!created_ && file_.IsRegular() && file_.ReadAll(bytes)) before_ = std::move(bytes);
  return true;
}

bool PreparedOutput::Write(const std::string& text) {
  if (!file_.IsOpen()) {
    errno = EBADF;
    return false;
  }
  written_ = true;
  const bool written = file_.IsRegular()
                           ? file_.Truncate(0) && file_.WriteAt(0, text.data(), text.size())
                           : file_.Write(text.data(), text.size());
  return written && file_.Sync();
}

bool PreparedOutput::Finish() { return file_.Close(); }

void PreparedOutput::Abandon() noexcept {
  if (!file_.IsOpen()) return;
  if (created_) {
    fileSystem_->RemoveAll(path_);
  } else if (written_ && before_ && file_.Truncate(0) &&
             file_.WriteAt(0, before_->data(), before_->size())) {
    file_.Sync();
  }
  file_.Close();
}

}  // namespace trimwright
