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

// Exit status of a child that could not give up the rights of root.
constexpr int kCouldNotDropPrivileges = 126;

// argv[0] is the program's path. environment entries ("NAME=value") are added
// to the inherited environment. With unprivileged set, a child started by
// root first becomes the user nobody, so that file permissions apply to it.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment = {},
                         bool unprivileged = false);

}  // namespace trimwright::testing

#endif  // TRIMWRIGHT_TESTS_SUPPORT_PROCESS_H_
