#include "app/HistoryLocation.h"

#include <sys/stat.h>
#include <sys/xattr.h>

#include <filesystem>
#include <system_error>

#include "app/PathRules.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace fs = std::filesystem;

namespace {

constexpr char kSuffix[] = ".history";
constexpr char kAttribute[] = "user.trimwright.history";

bool SameInode(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether folder is a history folder whose image (its name without the
// suffix) is the file image.
bool HistoryOf(const std::string& folder, const struct stat& image) {
  if (folder.size() <= sizeof(kSuffix) - 1 || !folder.ends_with(kSuffix)) return false;
  std::error_code error;
  if (!fs::is_directory(folder, error)) return false;
  struct stat other;
  const std::string stem = folder.substr(0, folder.size() - (sizeof(kSuffix) - 1));
  return ::stat(stem.c_str(), &other) == 0 && SameInode(other, image);
}

std::string RecordedFolder(const std::string& imagePath) {
  char value[4096];
  const ssize_t length = ::getxattr(imagePath.c_str(), kAttribute, value, sizeof value);
  return length > 0 ? std::string(value, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

std::string HistoryFolderFor(const std::string& imagePath) {
  const std::string image = FollowLinks(imagePath);
  const std::string byName = image + kSuffix;
  std::error_code error;
  struct stat status;
  // The folder beside the name decides, as it always has; only a file with
  // other names and no history beside this one looks further.
  if (fs::exists(fs::symlink_status(byName, error)) || ::stat(image.c_str(), &status) != 0 ||
      !S_ISREG(status.st_mode) || status.st_nlink < 2) {
    return byName;
  }
  const fs::path parent = fs::path(image).parent_path();
  for (fs::directory_iterator it(parent.empty() ? fs::path(".") : parent, error), end;
       !error && it != end; it.increment(error)) {
    const std::string candidate = (parent / it->path().filename()).string();
    if (HistoryOf(candidate, status)) return candidate;
  }
  const std::string recorded = RecordedFolder(image);
  if (recorded.empty() || !fs::exists(fs::symlink_status(recorded, error))) return byName;
  if (HistoryOf(recorded, status)) return recorded;
  throw TrimwrightError("The image " + imagePath +
                        " is a file with several names (hard links) whose history is " + recorded +
                        ", but that history's image is no longer this file under its name; "
                        "work on the image through the name its history lies beside, so that "
                        "one file keeps one history");
}

void RecordHistoryFolder(const std::string& imagePath, const std::string& folder) {
  std::error_code error;
  const fs::path absolute = fs::absolute(folder, error);
  if (error) return;
  const std::string value = absolute.lexically_normal().string();
  const std::string image = FollowLinks(imagePath);
  if (RecordedFolder(image) == value) return;
  ::setxattr(image.c_str(), kAttribute, value.data(), value.size(), 0);
}

}  // namespace trimwright
