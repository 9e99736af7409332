#include "app/OutputGuard.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "app/PassHistory.h"
#include "app/PathRules.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace fs = std::filesystem;

namespace {

bool Inside(const fs::path& path, const fs::path& folder) {
  auto p = path.begin();
  for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
    if (f->empty()) continue;  // a trailing separator
    if (p == path.end() || *p != *f) return false;
  }
  return true;
}

// A file with several names may be a history file under another name.
bool HardLinkInto(const std::string& path, const fs::path& folder) {
  struct stat output;
  if (::stat(path.c_str(), &output) != 0 || !S_ISREG(output.st_mode) || output.st_nlink < 2) {
    return false;
  }
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    struct stat found;
    if (::lstat(it->path().c_str(), &found) == 0 && found.st_dev == output.st_dev &&
        found.st_ino == output.st_ino) {
      return true;
    }
  }
  return false;
}

[[noreturn]] void Refuse(const RunOutput& output, const std::string& why) {
  throw TrimwrightError("The " + std::string(output.name) + " " + output.path + " " + why);
}

}  // namespace

void RefuseUnsafeOutputs(const std::vector<RunOutput>& outputs,
                         const std::vector<std::string>& logPaths, const std::string& imagePath) {
  const std::string historyFolder = PassHistory::FolderFor(imagePath);
  const fs::path history = ResolvedPath(historyFolder);
  for (std::size_t k = 0; k < outputs.size(); ++k) {
    const RunOutput& output = outputs[k];
    const std::string destroys =
        "; writing the " + std::string(output.shortName) + " would destroy it";
    for (const std::string& logPath : logPaths) {
      if (SameFile(output.path, logPath))
        Refuse(output, "is the logged data file itself" + destroys);
    }
    if (SameFile(output.path, imagePath)) {
      Refuse(output, "is the calibration image itself" + destroys);
    }
    if (Inside(ResolvedPath(output.path), history) || HardLinkInto(output.path, history)) {
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
