// Runs a program as a child process and collects its exit status and what it
// wrote to standard output and standard error.
#ifndef TRIMWRIGHT_TESTS_SUPPORT_PROCESS_H_
#define TRIMWRIGHT_TESTS_SUPPORT_PROCESS_H_

#include <string>
#include <vector>

namespace trimwright::testing {

struct ProcessResult {
  int exitStatus = -1;  // -1 when the child did not exit normally
  std::string out;
  std::string err;
};

// argv[0] is the program's path. environment entries ("NAME=value") are added
// to the inherited environment.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment = {});

}  // namespace trimwright::testing

#endif  // TRIMWRIGHT_TESTS_SUPPORT_PROCESS_H_
