#include "tools/TimedRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>

#include "common/TrimwrightError.h"

extern char** environ;

namespace trimwright::tools {

namespace {

double Micros(const timeval& time) {
  return static_cast<double>(time.tv_sec) * 1e6 + static_cast<double>(time.tv_usec);
}

std::string Joined(const std::vector<std::string>& argv) {
  std::string text;
  for (const std::string& arg : argv) text += (text.empty() ? "" : " ") + arg;
  return text;
}

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The file actions and attributes of one spawn, released when it goes away.
class SpawnActions {
 public:
  SpawnActions() { posix_spawn_file_actions_init(&actions_); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;

  void Open(int fd, const std::string& path, int flags) {
    posix_spawn_file_actions_addopen(&actions_, fd, path.c_str(), flags, 0644);
  }
  const posix_spawn_file_actions_t* get() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

}  // namespace

RunCost RunTimed(const std::vector<std::string>& argv, const std::string& outPath,
                 const std::string& errPath) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  SpawnActions actions;
  actions.Open(0, "/dev/null", O_RDONLY);
  actions.Open(1, outPath, O_WRONLY | O_CREAT | O_TRUNC);
  actions.Open(2, errPath, O_WRONLY | O_CREAT | O_TRUNC);

  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, args[0], actions.get(), nullptr, args.data(), environ);
  if (spawned != 0) {
    throw TrimwrightError("cannot start " + Joined(argv) + ": " + std::strerror(spawned));
  }
  int status = 0;
  rusage usage{};
  while (wait4(child, &status, 0, &usage) < 0) {
    if (errno != EINTR) throw TrimwrightError("cannot wait for " + Joined(argv));
  }
  const auto end = std::chrono::steady_clock::now();

  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    const std::string how = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                              : "signal " + std::to_string(WTERMSIG(status));
    throw TrimwrightError("failed (" + how + "): " + Joined(argv) + "\n" + ReadAll(errPath));
  }
  RunCost cost;
  cost.wallMicros = std::chrono::duration<double, std::micro>(end - start).count();
  cost.cpuMicros = Micros(usage.ru_utime) + Micros(usage.ru_stime);
  cost.peakKiB = usage.ru_maxrss;
  return cost;
}

}  // namespace trimwright::tools
