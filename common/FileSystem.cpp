#include "common/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace trimwright {

FileSystem& FileSystem::Default() {
  static FileSystem real;
  return real;
}

bool FileSystem::WriteAt(const std::string&, int fd, std::int64_t offset, const void* data,
                         std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t put = ::pwrite(fd, bytes, size, static_cast<off_t>(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes += put;
    offset += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

bool FileSystem::Write(const std::string&, int fd, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t put = ::write(fd, bytes, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

bool FileSystem::Sync(const std::string&, int fd) {
  return ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
}

bool FileSystem::Truncate(const std::string&, int fd, std::int64_t size) {
  int result;
  do {
    result = ::ftruncate(fd, static_cast<off_t>(size));
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

bool FileSystem::SyncFolder(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  const int syncErrno = errno;
  const bool closed = ::close(fd) == 0;
  if (!synced) errno = syncErrno;
  return synced && closed;
}

bool FileSystem::Rename(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool FileSystem::MakeFolder(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0; }

bool FileSystem::RemoveAll(const std::string& path) {
  std::error_code error;
  std::filesystem::remove_all(path, error);
  if (error) errno = error.value();
  return !error;
}

std::time_t FileSystem::Now() { return std::time(nullptr); }

}  // namespace trimwright
