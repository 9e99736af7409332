#include "app/DurableFolder.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "common/DiskFile.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace fs = std::filesystem;

namespace {

constexpr char kReplacementSuffix[] = ".pending";

std::string Reason(int error) { return std::generic_category().message(error); }

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  DiskFile file;
  return file.OpenForReading(path) && file.ReadAll(bytes);
}

std::string DurableFolder::Make() {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path_, error);
  if (fs::exists(status)) {
    return fs::is_directory(fs::status(path_, error)) ? "" : "a file of that name is in the way";
  }
  if (!fileSystem_.MakeFolder(path_)) {
    if (errno == EEXIST && fs::is_directory(path_, error)) return "";
    return Reason(errno);
  }
  const fs::path parent = fs::path(path_).parent_path();
  if (!fileSystem_.SyncFolder(parent.empty() ? "." : parent.string())) {
    return "cannot sync its parent";
  }
  return "";
}

bool DurableFolder::WriteFile(const std::string& path, const std::string& bytes) {
  DiskFile file(fileSystem_);
  return file.CreateOrTruncate(path) && file.Write(bytes.data(), bytes.size()) && file.Sync() &&
         file.Close();
}

bool DurableFolder::Rename(const std::string& from, const std::string& to) {
  return fileSystem_.Rename(PathOf(from), PathOf(to)) && Sync();
}

bool DurableFolder::Remove(const std::string& name, const std::string& removing) {
  // A removal cut short under the same name is finished first: a rename
  // onto a folder that is not empty would fail.
  if (fs::exists(fs::symlink_status(PathOf(removing))) &&
      !fileSystem_.RemoveAll(PathOf(removing))) {
    return false;
  }
  return Rename(name, removing) && FinishRemoval(removing);
}

bool DurableFolder::FinishRemoval(const std::string& name) {
  return fileSystem_.RemoveAll(PathOf(name)) && Sync();
}

void DurableFolder::ReplaceFile(const std::string& name, const std::string& bytes) {
  const std::string path = PathOf(name);
  const auto fail = [&path](const std::string& why) {
    throw TrimwrightError("Unable to write file " + path + " (" + why + ")");
  };
  const std::string made = Make();
  if (!made.empty()) fail(made);
  const std::string pending = path + kReplacementSuffix;
  // Only a file this write made is taken away again, never a folder that
  // stands in its way.
  const auto removePending = [this, &pending] {
    std::error_code error;
    if (fs::is_regular_file(fs::symlink_status(pending, error))) fileSystem_.RemoveAll(pending);
  };
  if (!WriteFile(pending, bytes)) {
    const int writeErrno = errno;
    removePending();
    fail(Reason(writeErrno));
  }
  if (!fileSystem_.Rename(pending, path)) {
    const int renameErrno = errno;
    removePending();
    fail(Reason(renameErrno));
  }
  if (!Sync()) fail("cannot sync the folder " + path_);
}

std::optional<std::string> DurableFolder::ReadFile(const std::string& name) const {
  const auto fail = [](const std::string& path, const std::string& why) {
    throw TrimwrightError("Unable to read file " + path + " (" + why + ")");
  };
  const auto failFolder = [this](const std::string& why) {
    throw TrimwrightError("Unable to read the " + std::string(name_) + " " + path_ + " (" + why +
                          ")");
  };
  // The folder first: a file in its place, or one that cannot be searched,
  // hides whether the file exists, and must not pass for "no file".
  std::error_code error;
  const fs::file_status folder = fs::status(path_, error);
  if (folder.type() == fs::file_type::not_found) return std::nullopt;
  if (error) failFolder(error.message());
  if (!fs::is_directory(folder)) failFolder("a file of that name is in the way");
  const std::string path = PathOf(name);
  const fs::file_status status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found) return std::nullopt;
  if (error) fail(path, error.message());
  if (!fs::is_regular_file(status)) fail(path, "it is not a plain file");
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) fail(path, Reason(errno));
  return bytes;
}

}  // namespace trimwright
