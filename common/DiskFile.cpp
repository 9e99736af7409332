#include "common/DiskFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace trimwright {

DiskFile::~DiskFile() { Close(); }

bool DiskFile::OpenForReading(const std::string& path) {
  Close();
  path_ = path;
  // Opening a pipe for reading would wait for a writer; opened without
  // waiting, the caller can see what it is first. Reads wait for their bytes
  // as they always have.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat status;
  if (fd_ >= 0 && ::fstat(fd_, &status) == 0 && S_ISDIR(status.st_mode)) Close();
  if (fd_ >= 0) {
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
  }
  return fd_ >= 0;
}

bool DiskFile::OpenExisting(const std::string& path) {
  Close();
  path_ = path;
  fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  return fd_ >= 0;
}

bool DiskFile::CreateOrTruncate(const std::string& path) {
  Close();
  path_ = path;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return fd_ >= 0;
}

bool DiskFile::OpenForOutput(const std::string& path, bool& created) {
  Close();
  path_ = path;
  created = false;
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd_ >= 0) {
    created = true;
    return true;
  }
  if (errno != EEXIST) return false;
  fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd_ < 0 && errno != EISDIR) fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  return fd_ >= 0;
}

bool DiskFile::IsRegular() const {
  struct stat status;
  return ::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode);
}

bool DiskFile::IsRegularOrNullDevice() const {
  struct stat status;
  if (::fstat(fd_, &status) != 0) return false;
  if (S_ISREG(status.st_mode)) return true;
  struct stat null;
  return S_ISCHR(status.st_mode) && ::stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) &&
         status.st_rdev == null.st_rdev;
}

bool DiskFile::Truncate(std::int64_t size) { return fileSystem_->Truncate(path_, fd_, size); }

bool DiskFile::TryLockExclusive() {
  int result;
  do {
    result = ::flock(fd_, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

bool DiskFile::TryLockShared() {
  int result;
  do {
    result = ::flock(fd_, LOCK_SH | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

bool DiskFile::ReadAll(std::string& bytes) const {
  const std::int64_t size = Size();
  if (size < 0) return false;
  bytes.resize(static_cast<std::size_t>(size));
  const std::int64_t got = ReadUpTo(0, bytes.data(), bytes.size());
  if (got < 0) return false;
  bytes.resize(static_cast<std::size_t>(got));
  return true;
}

std::int64_t DiskFile::Size() const {
  struct stat status;
  if (::fstat(fd_, &status) != 0) return -1;
  return static_cast<std::int64_t>(status.st_size);
}

bool DiskFile::ReadAt(std::int64_t offset, void* data, std::size_t size) const {
  return ReadUpTo(offset, data, size) == static_cast<std::int64_t>(size);
}

std::int64_t DiskFile::ReadUpTo(std::int64_t offset, void* data, std::size_t size) const {
  auto* bytes = static_cast<unsigned char*>(data);
  std::int64_t total = 0;
  while (size > 0) {
    const ssize_t got = ::pread(fd_, bytes, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    bytes += got;
    offset += got;
    total += got;
    size -= static_cast<std::size_t>(got);
  }
  return total;
}

bool DiskFile::WriteAt(std::int64_t offset, const void* data, std::size_t size) {
  return fileSystem_->WriteAt(path_, fd_, offset, data, size);
}

bool DiskFile::Write(const void* data, std::size_t size) {
  return fileSystem_->Write(path_, fd_, data, size);
}

bool DiskFile::Sync() { return fileSystem_->Sync(path_, fd_); }

bool DiskFile::Close() {
  if (fd_ < 0) return true;
  const int result = ::close(fd_);
  fd_ = -1;
  return result == 0 || errno == EINTR;
}

}  // namespace trimwright
