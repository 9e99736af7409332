#include "capture/CaptureLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "common/TrimwrightError.h"

namespace trimwright {

CaptureLog::CaptureLog(const std::string& path, std::string_view header) : path_(path) {
  // O_EXCL also refuses a symbolic link, dangling or not, in the log's place.
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd_ < 0 && errno == EEXIST) {
    RefuseExisting(path);
    errno = EEXIST;  // gone again already
  }
  if (fd_ < 0) {
    throw TrimwrightError("Unable to create the capture log " + path + " (" + std::strerror(errno) +
                          ")");
  }
  try {
    WriteWhole(header, "Unable to write the capture log ");
  } catch (...) {
    Discard();
    throw;
  }
}

void CaptureLog::RefuseExisting(const std::string& path) {
  struct stat status;
  if (::lstat(path.c_str(), &status) == 0) {
    throw TrimwrightError("The capture log " + path +
                          " exists already; a capture never overwrites a file");
  }
}

CaptureLog::~CaptureLog() {
  if (fd_ >= 0) ::close(fd_);
}

void CaptureLog::WriteWhole(std::string_view line, const char* what) {
  pending_.assign(line);
  pending_ += '\n';
  std::size_t written = 0;
  while (written < pending_.size()) {
    const ssize_t put = ::write(fd_, pending_.data() + written, pending_.size() - written);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      const int error = put < 0 ? errno : ENOSPC;
      // A part of a line would read as a record of its own.
      if (written > 0 && ::ftruncate(fd_, static_cast<off_t>(size_)) == 0) {
        ::lseek(fd_, static_cast<off_t>(size_), SEEK_SET);
      }
      throw TrimwrightError(what + path_ + " (" + std::strerror(error) + ")");
    }
    written += static_cast<std::size_t>(put);
  }
  size_ += written;
}

void CaptureLog::Append(std::string_view line) {
  WriteWhole(line, "Unable to write the capture log ");
  ++records_;
}

void CaptureLog::Finish() {
  if (fd_ < 0) return;
  int error = 0;
  if (::fsync(fd_) != 0) error = errno;
  if (::close(fd_) != 0 && error == 0) error = errno;
  fd_ = -1;
  if (error != 0) {
    throw TrimwrightError("Unable to sync the capture log " + path_ + " (" + std::strerror(error) +
                          ")");
  }
  // The new file's name reaches the disk with its folder.
  std::filesystem::path folder = std::filesystem::path(path_).parent_path();
  const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

void CaptureLog::Discard() noexcept {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  ::unlink(path_.c_str());
}

}  // namespace trimwright
