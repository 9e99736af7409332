#include "app/OutputGuard.h"

#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

#include "app/PassHistory.h"
#include "app/PathRules.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace fs = std::filesystem;

namespace {

using Inode = std::pair<dev_t, ino_t>;

bool Inside(const fs::path& path, const fs::path& folder) {
  auto p = path.begin();
  for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
    if (f->empty()) continue;  // a trailing separator
    if (p == path.end() || *p != *f) return false;
  }
  return true;
}

// The history folder and everything in it, by device and inode: a second
// name (a hard link) or a second mount of any of them is still the history.
std::set<Inode> InodesOf(const fs::path& folder) {
  std::set<Inode> inodes;
  struct stat found;
  if (::stat(folder.c_str(), &found) != 0 || !S_ISDIR(found.st_mode)) return inodes;
  inodes.insert({found.st_dev, found.st_ino});
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (::lstat(it->path().c_str(), &found) == 0) inodes.insert({found.st_dev, found.st_ino});
  }
  return inodes;
}

// Whether path, or a folder it lies in, is one of inodes.
bool ReachesInto(const fs::path& path, const std::set<Inode>& inodes) {
  if (inodes.empty()) return false;
  for (fs::path at = path; !at.empty(); at = at.parent_path()) {
    struct stat found;
    if (::stat(at.c_str(), &found) == 0 && inodes.count({found.st_dev, found.st_ino})) return true;
    if (at == at.parent_path()) break;
  }
  return false;
}

[[noreturn]] void Refuse(const RunOutput& output, const std::string& why) {
  throw TrimwrightError("The " + std::string(output.name) + " " + output.path + " " + why);
}

}  // namespace

void RefuseUnsafeOutputs(const std::vector<RunOutput>& outputs, const RunInputs& inputs) {
  const std::string historyFolder = PassHistory::FolderFor(inputs.imagePath);
  const fs::path history = ResolvedPath(historyFolder);
  const std::set<Inode> historyInodes = InodesOf(history);
  for (std::size_t k = 0; k < outputs.size(); ++k) {
    const RunOutput& output = outputs[k];
    const std::string destroys =
        "; writing the " + std::string(output.shortName) + " would destroy it";
    for (const std::string& logPath : inputs.logPaths) {
      if (SameFile(output.path, logPath))
        Refuse(output, "is the logged data file itself" + destroys);
    }
    if (SameFile(output.path, inputs.imagePath)) {
      Refuse(output, "is the calibration image itself" + destroys);
    }
    if (!inputs.baselinePath.empty() && SameFile(output.path, inputs.baselinePath)) {
      Refuse(output, "is the baseline of the total limit itself" + destroys);
    }
    const fs::path resolved = ResolvedPath(output.path);
    if (Inside(resolved, history) || ReachesInto(resolved, historyInodes)) {
      Refuse(output, "lies in the history folder " + historyFolder +
                         " of the calibration image; writing the " + output.shortName +
                         " would damage the history");
    }
    for (std::size_t other = 0; other < k; ++other) {
      if (SameFile(output.path, outputs[other].path)) {
        Refuse(output, "is the same file as the " + std::string(outputs[other].name) + " " +
                           outputs[other].path + "; one would overwrite the other");
      }
    }
  }
}

}  // namespace trimwright
