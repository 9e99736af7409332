#include "tests/support/Process.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>

#include "tests/support/TempDir.h"
#include "tools/LogWriter.h"

namespace trimwright::testing {

namespace {

constexpr uid_t kNobody = 65534;

bool DropRootPrivileges() {
  if (geteuid() != 0) return true;
  return setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0 &&
         geteuid() == kNobody;
}

// True when every folder from the root down to folder lets other users
// search it.
bool OthersCanReach(const std::string& folder) {
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::canonical(folder, error);
  if (error) return false;
  std::filesystem::path walked;
  for (const std::filesystem::path& part : canonical) {
    walked /= part;
    struct stat status;
    if (::stat(walked.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        (status.st_mode & S_IXOTH) == 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string FolderOpenToEveryone() {
  for (const std::string& folder : {TempDir::SystemFolder(), std::string("/tmp")}) {
    if (OthersCanReach(folder)) return folder;
  }
  throw std::runtime_error("neither " + TempDir::SystemFolder() +
                           " nor /tmp can be reached by every user");
}

ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment, bool unprivileged) {
  TempDir dir;
  std::vector<std::string> run = argv;
  std::optional<TempDir> programDir;
  if (unprivileged) {
    programDir.emplace(FolderOpenToEveryone());
    const std::filesystem::path copy =
        std::filesystem::path(programDir->path()) / std::filesystem::path(argv.at(0)).filename();
    std::filesystem::copy_file(argv[0], copy);
    using std::filesystem::perms;
    const perms readAndRun = perms::owner_all | perms::group_read | perms::group_exec |
                             perms::others_read | perms::others_exec;
    std::filesystem::permissions(programDir->path(), readAndRun);
    std::filesystem::permissions(copy, readAndRun);
    run[0] = copy.string();
  }
  const std::string outPath = dir.File("stdout");
  const std::string errPath = dir.File("stderr");
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    if (!freopen(outPath.c_str(), "w", stdout) || !freopen(errPath.c_str(), "w", stderr))
      _exit(127);
    for (const std::string& entry : environment) putenv(const_cast<char*>(entry.c_str()));
    if (unprivileged && !DropRootPrivileges()) _exit(kCouldNotDropPrivileges);
    std::vector<char*> args;
    for (const std::string& a : run) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  ProcessResult result;
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = tools::ReadFile(outPath);
  result.err = tools::ReadFile(errPath);
  return result;
}

}  // namespace trimwright::testing
