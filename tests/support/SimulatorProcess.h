// The simulated engine computer (simulate_ecu) as a child process for the
// tests that capture from it: started with its options, its terminal's path
// read from its first line, ended with SIGTERM. Also the spawning and
// waiting it is built on. Header only, for GoogleTest and Qt Test alike.
#ifndef TRIMWRIGHT_TESTS_SUPPORT_SIMULATORPROCESS_H_
#define TRIMWRIGHT_TESTS_SUPPORT_SIMULATORPROCESS_H_

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace trimwright::testing {

// Starts argv with standard output and standard error on the descriptors
// given (-1: /dev/null).
inline pid_t Spawn(const std::vector<std::string>& argv, int out, int err) {
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_RDWR);
    dup2(out >= 0 ? out : null, STDOUT_FILENO);
    dup2(err >= 0 ? err : null, STDERR_FILENO);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  return child;
}

inline int ExitStatusOf(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The simulated engine computer at simulatorPath as a child process; the
// first line it prints is its terminal's path.
class Simulator {
 public:
  Simulator(const std::string& simulatorPath, const std::vector<std::string>& options) {
    int pipe[2];
    if (pipe2(pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    std::vector<std::string> argv{simulatorPath};
    argv.insert(argv.end(), options.begin(), options.end());
    pid_ = Spawn(argv, pipe[1], -1);
    close(pipe[1]);
    out_ = fdopen(pipe[0], "r");
    char line[256] = "";
    if (!fgets(line, sizeof line, out_)) throw std::runtime_error("the simulator said nothing");
    device_ = line;
    if (!device_.empty() && device_.back() == '\n') device_.pop_back();
  }
  ~Simulator() { Finish(); }
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  const std::string& device() const { return device_; }

  // Ends the simulator (signal SIGTERM lets it finish its log; SIGKILL
  // drops the line at once); what it printed after the path.
  std::string Finish(int signal = SIGTERM) {
    if (pid_ > 0) {
      kill(pid_, signal);
      ExitStatusOf(pid_);
      pid_ = -1;
      char buffer[4096];
      for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, out_)) > 0;) {
        said_.append(buffer, got);
      }
      fclose(out_);
    }
    return said_;
  }

 private:
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
  std::string device_;
  std::string said_;
};

}  // namespace trimwright::testing

#endif  // TRIMWRIGHT_TESTS_SUPPORT_SIMULATORPROCESS_H_
