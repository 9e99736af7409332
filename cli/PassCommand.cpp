#include "cli/PassCommand.h"

#include <iostream>
#include <sstream>

#include "app/PathRules.h"
#include "app/PlanJson.h"
#include "app/TuningRun.h"
#include "cli/CommandLineWindow.h"
#include "cli/ExitReportingErrors.h"
#include "cli/PlanGrid.h"

namespace trimwright {

PassCommand::PassCommand()
    : Command({"--target-blm", "--rpm-limit", "--report", "--dry-run", "--json", "--min-records",
               "--max-change", "--aux-window", "--add-second-trim", "--smooth",
               "--max-total-change", "--baseline", "--lock", "--unlock", "--no-history",
               "--keep-history", "--quiet", "--grid", "--ignore-checksum"}) {}

void PassCommand::Check(const CommandLine& line) {
  const CommandLineValues& values = line.values();
  const std::string refused = FirstRefused(line);
  if (refused == "--force") throw CLI::ValidationError("--force goes with --undo only");
  if (!refused.empty()) throw CLI::ValidationError(refused + " does not go with a pass");
  if ((line.Given("--lock") || line.Given("--unlock")) && values.logPaths.empty()) {
    throw CLI::ValidationError("--lock and --unlock need the IMAGE whose cells they lock");
  }
  if (values.logPaths.empty()) throw CLI::RequiredError("LOGFILE");
  if (values.logPaths.size() < 2 && !line.Given("IMAGE")) throw CLI::RequiredError("IMAGE");
  request_.logPaths = line.Positionals();
  request_.pcmPath = request_.logPaths.back();
  request_.logPaths.pop_back();
  PassLimits& limits = request_.limits;
  if (line.Given("--min-records")) {
    limits.minRecords = ReadOptionText("--min-records", values.minRecordsText, ParseMinRecords);
  }
  if (line.Given("--max-change")) {
    limits.maxChangePercent =
        ReadOptionText("--max-change", values.maxChangeText, ParseMaxChangePercent);
  }
  if (line.Given("--aux-window")) {
    limits.auxWindow = ReadOptionText("--aux-window", values.auxWindowText, ParseAuxWindow);
  }
  if (line.Given("--max-total-change")) {
    limits.maxTotalChangePercent =
        ReadOptionText("--max-total-change", values.maxTotalChangeText, ParseMaxChangePercent);
  }
}

int PassCommand::Run(const CommandLine& line) {
  const CommandLineValues& values = line.values();
  RunRequest& request = request_;
  request.dryRun = values.dryRun;
  request.limits.addSecondTrim = values.addSecondTrim;
  request.limits.smooth = values.smooth;
  request.limits.baselineFile = values.baselineFile;
  request.lockCells = values.lockCells;
  request.unlockCells = values.unlockCells;
  request.history = !values.noHistory;
  request.keepHistory = values.keepHistory;
  request.ignoreChecksum = values.ignoreChecksum;
  if (values.json != "-") request.jsonPath = values.json;
  // Read as the window reads its number fields.
  request.targetBlm = ReadNumberField(values.targetBlmText);
  request.rpmLimit = ReadNumberField(values.rpmLimitText);
  if (line.Given("--report")) {
    request.logfileName = values.report;
  } else if (!request.dryRun) {
    request.logfileName = DeriveLogfileName(request.pcmPath);
  }

  // With the JSON on standard output, the diagnostic lines move to standard
  // error so that standard output is JSON alone; quiet drops them.
  std::ostringstream dropped;
  Diagnostics toStandardError(std::cerr, std::cerr);
  Diagnostics withoutLines(dropped, std::cerr);
  Diagnostics& diagnostics = values.quiet         ? withoutLines
                             : values.json == "-" ? toStandardError
                                                  : Diagnostics::Standard();
  CommandLineWindow window(std::cerr, std::string(kProgram) + ": ");
  TuningRun run(window, diagnostics);
  const RunResult result = run.Perform(request);
  if (result.outcome != RunOutcome::kCompleted) return ExitCode(ExitStatus::kEndedEarly);
  if (request.dryRun) window.ShowMessage("Dry run complete; the image was not changed");
  if (values.grid) std::cerr << PlanGrid(*result.plan) << std::flush;
  if (values.json == "-") std::cout << PlanJson(*result.plan, request.dryRun) << std::flush;
  return ExitCode(ExitStatus::kSuccess);
}

}  // namespace trimwright
