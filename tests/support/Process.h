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
// root first becomes the user nobody, so that file permissions apply to it;
// it then runs a copy of the program in a folder of FolderOpenToEveryone(),
// since the build folder may lie where only its owner can go. Exit status
// kCouldNotDropPrivileges says the child could not become nobody.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment = {},
                         bool unprivileged = false);

// A folder that every user can reach, for what an unprivileged child must run,
// read or write: the system's temporary folder when every folder on its path
// lets other users through, else /tmp. Throws std::runtime_error when neither
// does.
std::string FolderOpenToEveryone();

}  // namespace trimwright::testing

#endif  // TRIMWRIGHT_TESTS_SUPPORT_PROCESS_H_
