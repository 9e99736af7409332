// trimwright-cli --capture DEVICE [--records N] [--seconds S] LOG.csv: its
// options, the check of what goes with it, and its body (SIGINT and SIGTERM
// stop it, a status line on a terminal, a summary). main keeps the command
// for the length of the program.
#ifndef TRIMWRIGHT_CLI_CAPTURECOMMAND_H_
#define TRIMWRIGHT_CLI_CAPTURECOMMAND_H_

#include <CLI/CLI.hpp>

#include <cstdint>
#include <ostream>
#include <string>

#include "cli/Command.h"

namespace trimwright {

struct CaptureArguments {
  std::string device;
  std::string logPath;
  std::uint64_t records = 0;  // 0: no limit
  std::uint64_t seconds = 0;  // 0: no limit
  bool quiet = false;         // no status line
};

// Runs the capture, writing the status line (to a terminal only) and the
// summary to messages. Returns the exit status 0 once the log is complete;
// throws TrimwrightError when the capture fails.
int RunCaptureCommand(const CaptureArguments& arguments, std::ostream& messages,
                      bool messagesToTerminal);

// The command: chosen by --capture, it takes --records, --seconds and -q
// beside it and exactly one LOG ending in .csv.
class CaptureCommand : public Command {
 public:
  CaptureCommand();

  void Declare(CLI::App& app) override;
  bool Chosen(const CommandLine& line) const override;
  void Check(const CommandLine& line) override;
  int Run(const CommandLine& line) override;

 private:
  CaptureArguments arguments_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CLI_CAPTURECOMMAND_H_
