// A file a run writes only once everything before it has succeeded: the
// report, the JSON of a pass. Prepare opens it for writing without changing a
// byte (creating it when it is missing), so that a path that cannot be written
// refuses the run before anything else is touched. Write replaces its bytes
// and syncs them; Abandon, after a later step failed, puts the file back as it
// was (removes it when Prepare created it, writes its old bytes back
// otherwise); Finish closes it. Owns the open file; one neither finished nor
// abandoned is abandoned when it goes away. Its writes go through the
// FileSystem it was made with, which must outlive it.
#ifndef TRIMWRIGHT_COMMON_PREPAREDOUTPUT_H_
#define TRIMWRIGHT_COMMON_PREPAREDOUTPUT_H_

#include <optional>
#include <string>

#include "common/DiskFile.h"

namespace trimwright {

class PreparedOutput {
 public:
  explicit PreparedOutput(FileSystem& fileSystem = FileSystem::Default())
      : fileSystem_(&fileSystem), file_(fileSystem) {}
  // Abandons the file unless Finish was called.
  ~PreparedOutput() { Abandon(); }
  PreparedOutput(const PreparedOutput&) = delete;
  PreparedOutput& operator=(const PreparedOutput&) = delete;
  PreparedOutput(PreparedOutput&&) noexcept = default;

  // Opens path for writing, creating it when it does not exist and keeping
  // its bytes when it does. False, with errno set, when it cannot be opened
  // for writing or is a directory.
  bool Prepare(const std::string& path);

  // Replaces the file's bytes with text (a pipe or terminal just gets them)
  // and syncs. False when that fails.
  bool Write(const std::string& text);

  // Closes the file, keeping what Write put there. False when the close
  // failed.
  bool Finish();

  // Puts the file back as Prepare found it, as far as it can, and closes it.
  void Abandon() noexcept;

  // The bytes the file held when prepared; none when Prepare created it, or
  // they could not be read.
  const std::optional<std::string>& before() const { return before_; }
  bool created() const { return created_; }

 private:
  FileSystem* fileSystem_;
  DiskFile file_;
  std::string path_;
  bool created_ = false;
  bool written_ = false;
  // The bytes a plain file held when prepared, when they could be read.
  std::optional<std::string> before_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_COMMON_PREPAREDOUTPUT_H_
