// Runs one command as a child process and measures it, for the bench: its
// wall time, its user and system CPU time on all its threads, and its peak
// resident memory, the last two from wait4. Nothing outlives the call.
#ifndef TRIMWRIGHT_TOOLS_TIMEDRUN_H_
#define TRIMWRIGHT_TOOLS_TIMEDRUN_H_

#include <cstdint>
#include <string>
#include <vector>

namespace trimwright::tools {

struct RunCost {
  double wallMicros = 0;
  double cpuMicros = 0;
  // The kernel starts a new program's peak at the peak of the process that
  // started it (this one, a few MB), so a smaller peak cannot be told apart.
  std::int64_t peakKiB = 0;
};

// Runs argv (argv[0] is looked up on PATH when it holds no slash) with
// standard input from /dev/null, standard output to outPath ("/dev/null" to
// discard it) and standard error to errPath, both created or truncated.
// Throws TrimwrightError naming the command, with what it wrote to standard
// error, when it cannot be started or does not exit with status 0.
// REQUIRES: argv is not empty.
RunCost RunTimed(const std::vector<std::string>& argv, const std::string& outPath,
                 const std::string& errPath);

}  // namespace trimwright::tools

#endif  // TRIMWRIGHT_TOOLS_TIMEDRUN_H_
