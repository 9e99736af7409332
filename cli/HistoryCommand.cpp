#include "cli/HistoryCommand.h"

#include <iostream>

#include "app/HistoryCommands.h"
#include "app/PassProgress.h"
#include "cli/CommandJson.h"
#include "cli/ExitReportingErrors.h"

namespace trimwright {

// -q is taken and changes nothing: the listing is no diagnostic line.
HistoryCommand::HistoryCommand()
    : ImageCommand("--history", &CommandLineValues::historyImage, {"--json", "--quiet"}) {}

int HistoryCommand::Run(const CommandLine& line) {
  const std::string& json = line.values().json;
  if (!json.empty()) {
    WriteCommandJson(json, {image()}, [&] { return ProgressJson(image(), ReadProgress(image())); });
  }
  if (json != "-") std::cout << HistoryListing(image()) << std::flush;
  return ExitCode(ExitStatus::kSuccess);
}

}  // namespace trimwright
