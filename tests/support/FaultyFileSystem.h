// The real file system with a test's hand on it: every operation that
// changes the disk is recorded in order, and any one of them can be made to
// fail as a failing device would (errno EIO), by a rule the test sets.
#ifndef TRIMWRIGHT_TESTS_SUPPORT_FAULTYFILESYSTEM_H_
#define TRIMWRIGHT_TESTS_SUPPORT_FAULTYFILESYSTEM_H_

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/FileSystem.h"

namespace trimwright::testing {

class FaultyFileSystem : public FileSystem {
 public:
  struct Operation {
    std::string kind;  // "write", "sync", "truncate", "sync folder", "rename", "mkdir", "remove"
    std::string path;  // the file or folder (a rename's source)
    bool existed = false;  // the path existed when the operation came
    bool failed = false;
  };

  // Decides whether the operation, the number-th (from 1) so far, fails.
  std::function<bool(const Operation&, int number)> failWhen;
  std::vector<Operation> operations;

  // Fails the number-th operation only.
  void FailOperation(int number) {
    failWhen = [number](const Operation&, int n) { return n == number; };
  }
  // Fails every operation of kind on path.
  void FailEvery(const std::string& kind, const std::string& path) {
    failWhen = [kind, path](const Operation& op, int) {
      return op.kind == kind && op.path == path;
    };
  }
  // The operations of kind that succeeded, in order.
  std::vector<Operation> Succeeded(const std::string& kind) const {
    std::vector<Operation> found;
    for (const Operation& op : operations) {
      if (op.kind == kind && !op.failed) found.push_back(op);
    }
    return found;
  }

  bool WriteAt(const std::string& path, int fd, std::int64_t offset, const void* data,
               std::size_t size) override {
    return Pass("write", path) && FileSystem::WriteAt(path, fd, offset, data, size);
  }
  bool Write(const std::string& path, int fd, const void* data, std::size_t size) override {
    return Pass("write", path) && FileSystem::Write(path, fd, data, size);
  }
  bool Sync(const std::string& path, int fd) override {
    return Pass("sync", path) && FileSystem::Sync(path, fd);
  }
  bool Truncate(const std::string& path, int fd, std::int64_t size) override {
    return Pass("truncate", path) && FileSystem::Truncate(path, fd, size);
  }
  bool SyncFolder(const std::string& path) override {
    return Pass("sync folder", path) && FileSystem::SyncFolder(path);
  }
  bool Rename(const std::string& from, const std::string& to) override {
    return Pass("rename", from) && FileSystem::Rename(from, to);
  }
  bool MakeFolder(const std::string& path) override {
    return Pass("mkdir", path) && FileSystem::MakeFolder(path);
  }
  bool RemoveAll(const std::string& path) override {
    return Pass("remove", path) && FileSystem::RemoveAll(path);
  }

 private:
  // Records the operation; false, with errno EIO, when it is to fail.
  bool Pass(const char* kind, const std::string& path) {
    std::error_code ignored;
    Operation op{kind, path, std::filesystem::exists(path, ignored), false};
    op.failed = failWhen && failWhen(op, static_cast<int>(operations.size()) + 1);
    operations.push_back(op);
    if (op.failed) errno = EIO;
    return !op.failed;
  }
};

}  // namespace trimwright::testing

#endif  // TRIMWRIGHT_TESTS_SUPPORT_FAULTYFILESYSTEM_H_
