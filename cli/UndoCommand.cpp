#include "cli/UndoCommand.h"

#include <iostream>

#include "app/HistoryCommands.h"
#include "cli/CommandLineWindow.h"
#include "cli/ExitReportingErrors.h"

namespace trimwright {

// -q is taken and changes nothing: an undo prints no diagnostic line.
UndoCommand::UndoCommand()
    : ImageCommand("--undo", &CommandLineValues::undoImage,
                   {"--force", "--keep-history", "--quiet"}) {}

int UndoCommand::Run(const CommandLine& line) {
  CommandLineWindow window(std::cerr, std::string(kProgram) + ": ");
  const UndoResult undone = UndoLastPass(image(), line.values().force, line.values().keepHistory);
  window.ShowMessage(undone.message);
  return ExitCode(undone.outcome == RunOutcome::kCompleted ? ExitStatus::kSuccess
                                                           : ExitStatus::kEndedEarly);
}

}  // namespace trimwright
