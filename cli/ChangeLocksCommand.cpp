#include "cli/ChangeLocksCommand.h"

#include <iostream>
#include <vector>

#include "app/CellLocks.h"
#include "cli/CommandLineWindow.h"
#include "cli/ExitReportingErrors.h"

namespace trimwright {

// -q is taken and changes nothing: the listing is no diagnostic line.
ChangeLocksCommand::ChangeLocksCommand() : Command({"--lock", "--unlock", "--quiet"}) {}

bool ChangeLocksCommand::Chosen(const CommandLine& line) const {
  return (line.Given("--lock") || line.Given("--unlock")) && line.Positionals().size() == 1;
}

void ChangeLocksCommand::Check(const CommandLine& line) {
  const std::string refused = FirstRefused(line);
  if (!refused.empty()) {
    throw CLI::ValidationError(refused + " does not go with --lock or --unlock without a LOGFILE");
  }
  image_ = line.Positionals().front();
}

int ChangeLocksCommand::Run(const CommandLine& line) {
  CommandLineWindow window(std::cerr, std::string(kProgram) + ": ");
  bool stored = false;
  const std::vector<GridCell> locks =
      CellLocks::Change(image_, line.values().lockCells, line.values().unlockCells, &stored);
  std::cout << CellLocks::Listing(image_, locks) << std::flush;
  window.ShowMessage(stored ? "Stored the locks of " + image_ + " in " + CellLocks::PathFor(image_)
                            : "The locks of " + image_ + " were already so; nothing was written");
  return ExitCode(ExitStatus::kSuccess);
}

}  // namespace trimwright
