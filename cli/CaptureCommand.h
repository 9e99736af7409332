// trimwright-cli --capture DEVICE [--records N] [--seconds S] LOG.csv: its
// options, the check of what goes with it, and its body (SIGINT and SIGTERM
// stop it, a status line on a terminal, a summary). main declares the options
// and dispatches; nothing here outlives the command.
#ifndef TRIMWRIGHT_CLI_CAPTURECOMMAND_H_
#define TRIMWRIGHT_CLI_CAPTURECOMMAND_H_

#include <CLI/CLI.hpp>

#include <cstdint>
#include <ostream>
#include <string>

namespace trimwright {

struct CaptureArguments {
  std::string device;
  std::string logPath;
  std::uint64_t records = 0;  // 0: no limit
  std::uint64_t seconds = 0;  // 0: no limit
  bool quiet = false;         // no status line
};

// Declares --capture, --records and --seconds on app, read into arguments,
// which must outlive the parse.
void AddCaptureOptions(CLI::App& app, CaptureArguments& arguments);

// After the parse: false when --capture was not given. True when it was, with
// the log's path and -q taken in. Throws CLI::ValidationError for --records
// or --seconds without --capture, for any other option beside it, and unless
// exactly one LOG ending in .csv is given.
bool TakeCaptureArguments(const CLI::App& app, CaptureArguments& arguments);

// Runs the capture, writing the status line (to a terminal only) and the
// summary to messages. Returns the exit status 0 once the log is complete;
// throws TrimwrightError when the capture fails.
int RunCaptureCommand(const CaptureArguments& arguments, std::ostream& messages,
                      bool messagesToTerminal);

}  // namespace trimwright

#endif  // TRIMWRIGHT_CLI_CAPTURECOMMAND_H_
