#include "cli/ListLocksCommand.h"

#include <iostream>

#include "app/CellLocks.h"
#include "cli/ExitReportingErrors.h"

namespace trimwright {

// -q is taken and changes nothing: the listing is no diagnostic line.
ListLocksCommand::ListLocksCommand()
    : ImageCommand("--locks", &CommandLineValues::locksImage, {"--quiet"}) {}

int ListLocksCommand::Run(const CommandLine&) {
  std::cout << CellLocks::Listing(image(), CellLocks::ReadLocked(image())) << std::flush;
  return ExitCode(ExitStatus::kSuccess);
}

}  // namespace trimwright
