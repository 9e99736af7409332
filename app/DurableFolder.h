// A folder whose files must survive a crash or a kill at any moment: files
// written whole and synced before anything refers to them, names changed
// only by renames that are synced, and folders removed by first renaming
// them out of sight, so that a removal cut short is finished later instead
// of leaving half a folder under its old name. Every change goes through the
// FileSystem given, which must outlive the object; it owns nothing on disk.
#ifndef TRIMWRIGHT_APP_DURABLEFOLDER_H_
#define TRIMWRIGHT_APP_DURABLEFOLDER_H_

#include <optional>
#include <string>

#include "common/FileSystem.h"

namespace trimwright {

class DurableFolder {
 public:
  // name: what the messages call the folder ("history folder").
  DurableFolder(std::string path, FileSystem& fileSystem, const char* name)
      : path_(std::move(path)), fileSystem_(fileSystem), name_(name) {}

  const std::string& path() const { return path_; }
  std::string PathOf(const std::string& name) const { return path_ + "/" + name; }
  FileSystem& fileSystem() const { return fileSystem_; }

  // Creates the folder, syncing its parent, unless it exists. Empty when it
  // exists afterwards; else why not (a file in its place, an error).
  std::string Make();

  // Writes bytes as the file at path (any path, the folder's own or one
  // inside a folder of it), whole, synced and closed. False, errno set, when
  // any of it fails.
  bool WriteFile(const std::string& path, const std::string& bytes);

  // Syncs the folder, or a folder at path, so that the names in it last.
  bool Sync() const { return fileSystem_.SyncFolder(path_); }
  bool SyncFolder(const std::string& path) const { return fileSystem_.SyncFolder(path); }

  // Renames one name of the folder to another and syncs the folder.
  bool Rename(const std::string& from, const std::string& to);

  // Removes the name (a folder with all it holds, or a file) in two steps:
  // renamed to removing first, that rename synced, then removed. A removal
  // a kill cut short leaves only the name removing, which the folder's
  // readers do not take for what it was, for FinishRemoval to take away.
  // False when it could not be renamed or removed.
  bool Remove(const std::string& name, const std::string& removing);
  // Removes a name, and syncs the folder.
  bool FinishRemoval(const std::string& name);

  // Replaces the file name with bytes: written under name + ".pending",
  // synced, renamed over the old one and the folder synced, so that a kill
  // at any moment leaves the old file or the new one. Creates the folder
  // when needed. Throws TrimwrightError "Unable to write file PATH (why)"
  // when any of it fails; the old file stays then.
  void ReplaceFile(const std::string& name, const std::string& bytes);

  // The bytes of a file of the folder, or nothing when neither it nor the
  // folder exists. Throws TrimwrightError "Unable to read the NAME PATH
  // (why)" when the folder is out of reach (a file in its place, no
  // permission), "Unable to read file PATH (why)" when the file cannot be
  // read.
  std::optional<std::string> ReadFile(const std::string& name) const;

 private:
  std::string path_;
  FileSystem& fileSystem_;
  const char* name_;
};

// Reads the whole file at path into bytes; false, errno set, when it cannot.
bool ReadWholeFile(const std::string& path, std::string& bytes);

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_DURABLEFOLDER_H_
