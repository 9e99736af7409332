// The operations through which a run changes what is on disk, and the clock
// it stamps its history with, behind one interface: every write, sync,
// truncation, rename, folder creation and removal of a pass, an undo or a
// change of locks goes through it. Default() is the real file system; a test
// passes one of its own that fails a chosen operation or records them all.
// Stateless in production; an instance handed to an object must outlive it.
#ifndef TRIMWRIGHT_COMMON_FILESYSTEM_H_
#define TRIMWRIGHT_COMMON_FILESYSTEM_H_

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace trimwright {

class FileSystem {
 public:
  FileSystem() = default;
  virtual ~FileSystem() = default;
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;

  // The real file system, shared by the whole process.
  static FileSystem& Default();

  // The operations on an open file take the path it was opened with, so
  // that a test can tell the files apart. Each is whole: false, with errno
  // set, on an error or a short transfer.
  virtual bool WriteAt(const std::string& path, int fd, std::int64_t offset, const void* data,
                       std::size_t size);
  // A sequential write, for files that may not be seekable.
  virtual bool Write(const std::string& path, int fd, const void* data, std::size_t size);
  // Pushes written data to the device. A file that cannot be synchronised
  // (a terminal, a pipe, a character device) counts as synchronised.
  virtual bool Sync(const std::string& path, int fd);
  virtual bool Truncate(const std::string& path, int fd, std::int64_t size);

  // Syncs a folder, so that the names created, renamed or removed in it
  // reach the device.
  virtual bool SyncFolder(const std::string& path);
  // rename(2): replaces a file, or an empty folder, of the new name.
  virtual bool Rename(const std::string& from, const std::string& to);
  // mkdir(2); false with EEXIST when something of that name is there.
  virtual bool MakeFolder(const std::string& path);
  // Removes a file, or a folder with all it holds; true when nothing of
  // that name is left.
  virtual bool RemoveAll(const std::string& path);

  // The time now, for the names and times of history entries.
  virtual std::time_t Now();
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_COMMON_FILESYSTEM_H_
