// A file on disk reached through its descriptor: the log a tuning run reads
// (opened for reading only) and the two files it writes, the calibration image
// (opened for reading and writing, never created, locked for the length of the
// run) and the report (created or truncated). Positioned reads and writes,
// sync and an explicit close that reports failure; every write, sync and
// truncation goes through the FileSystem it was made with, which must outlive
// it. Owns the descriptor; closes it on destruction. Positioned reads may run
// on several threads at once.
#ifndef TRIMWRIGHT_COMMON_DISKFILE_H_
#define TRIMWRIGHT_COMMON_DISKFILE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "common/FileSystem.h"

namespace trimwright {

class DiskFile {
 public:
  explicit DiskFile(FileSystem& fileSystem = FileSystem::Default()) : fileSystem_(&fileSystem) {}
  ~DiskFile();
  DiskFile(const DiskFile&) = delete;
  DiskFile& operator=(const DiskFile&) = delete;
  DiskFile(DiskFile&& other) noexcept
      : fileSystem_(other.fileSystem_), fd_(other.fd_), path_(std::move(other.path_)) {
    other.fd_ = -1;
  }

  // Opens an existing file for reading only, without waiting for a writer
  // when it is a pipe. False when it cannot be opened or is a directory
  // (which opens like a file on Linux but has no bytes).
  bool OpenForReading(const std::string& path);

  // Opens an existing file for reading and writing without truncating it.
  // False when it does not exist, is a directory or may not be written.
  bool OpenExisting(const std::string& path);

  // Creates the file or truncates it, for writing. False when that fails.
  bool CreateOrTruncate(const std::string& path);

  // Opens path for writing without changing it, creating it when it does not
  // exist (created tells which). Opened for reading too where allowed. False,
  // with errno set, when it cannot be opened for writing or is a directory.
  bool OpenForOutput(const std::string& path, bool& created);

  // Takes an exclusive advisory lock without waiting. False when another
  // open file description holds it.
  bool TryLockExclusive();
  // Takes a shared advisory lock without waiting: readers share it, and an
  // exclusive holder keeps it from being taken. False when refused.
  bool TryLockShared();

  bool IsOpen() const { return fd_ >= 0; }
  // True for a plain file (not a pipe, terminal or device).
  bool IsRegular() const;
  // True for a plain file and for the null device, which reads as empty;
  // false for a pipe, a socket or any other device, whose reads may wait or
  // never end.
  bool IsRegularOrNullDevice() const;

  // Cuts or extends the file to size bytes.
  bool Truncate(std::int64_t size);

  // Size in bytes, or -1 when it cannot be determined.
  std::int64_t Size() const;

  // Whole transfers at an absolute offset; false on any error or short count.
  bool ReadAt(std::int64_t offset, void* data, std::size_t size) const;
  // The whole file from offset 0 to its end into bytes; false on an error.
  bool ReadAll(std::string& bytes) const;
  // Reads at an absolute offset until size bytes or the end of the file.
  // Returns the number of bytes read, or -1 on an error.
  std::int64_t ReadUpTo(std::int64_t offset, void* data, std::size_t size) const;

  bool WriteAt(std::int64_t offset, const void* data, std::size_t size);

  // Whole sequential write at the current position, for files that may not
  // be seekable (a report sent to a pipe or terminal).
  bool Write(const void* data, std::size_t size);

  // Pushes written data to the device. Files that cannot be synchronised
  // (terminals, pipes, character devices) count as synchronised.
  bool Sync();

  // Closes the descriptor (releasing any lock); false when the close failed.
  bool Close();

  const std::string& path() const { return path_; }

 private:
  FileSystem* fileSystem_;
  int fd_ = -1;
  std::string path_;  // as opened, which the file system's operations are told
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_COMMON_DISKFILE_H_
