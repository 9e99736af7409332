// trimwright-cli: one tuning pass from the command line, for tuners who work
// in a terminal or script their passes, and the commands around it (check,
// compare, history, undo, locks, capture). Standard output carries exactly the run's
// diagnostic lines; messages and errors go to standard error.
#include <algorithm>
#include <iostream>
#include <locale>
#include <memory>
#include <vector>

#include "cli/CaptureCommand.h"
#include "cli/ChangeLocksCommand.h"
#include "cli/CheckCommand.h"
#include "cli/Command.h"
#include "cli/CommandLine.h"
#include "cli/CommandLineWindow.h"
#include "cli/CompareCommand.h"
#include "cli/ExitReportingErrors.h"
#include "cli/HistoryCommand.h"
#include "cli/ListLocksCommand.h"
#include "cli/PassCommand.h"
#include "cli/UndoCommand.h"

namespace {

using trimwright::Command;

// Every command, in the order they are chosen: the first whose Chosen()
// holds runs. The pass, chosen always, comes last.
std::vector<std::unique_ptr<Command>> Commands() {
  std::vector<std::unique_ptr<Command>> commands;
  commands.push_back(std::make_unique<trimwright::CaptureCommand>());
  commands.push_back(std::make_unique<trimwright::CompareCommand>());
  commands.push_back(std::make_unique<trimwright::CheckCommand>());
  commands.push_back(std::make_unique<trimwright::HistoryCommand>());
  commands.push_back(std::make_unique<trimwright::UndoCommand>());
  commands.push_back(std::make_unique<trimwright::ListLocksCommand>());
  commands.push_back(std::make_unique<trimwright::ChangeLocksCommand>());
  commands.push_back(std::make_unique<trimwright::PassCommand>());
  return commands;
}

}  // namespace

int main(int argc, char** argv) {
  using trimwright::ExitStatus;
  std::cout.imbue(std::locale::classic());
  std::cerr.imbue(std::locale::classic());

  const std::vector<std::unique_ptr<Command>> commands = Commands();
  trimwright::CommandLine line(commands);
  return trimwright::ExitReportingErrors(line.app(), [&] {
    line.Parse(argc, argv);
    Command& command = **std::find_if(commands.begin(), commands.end(),
                                      [&](const auto& c) { return c->Chosen(line); });
    command.Check(line);
    // A JSON file named by an empty text is refused as an empty report name
    // is.
    if (line.Given("--json") && line.values().json.empty()) {
      trimwright::CommandLineWindow window(std::cerr, std::string(trimwright::kProgram) + ": ");
      window.ShowMessage("Please enter a JSON file name");
      return trimwright::ExitCode(ExitStatus::kEndedEarly);
    }
    return command.Run(line);
  });
}
