// What one tuning run is asked to do, filled by each front end from its own
// controls: the window from its fields, the command line from its arguments.
// A plain value; the run reads it and keeps no reference.
#ifndef TRIMWRIGHT_APP_RUNREQUEST_H_
#define TRIMWRIGHT_APP_RUNREQUEST_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "calibration/PassLimits.h"
#include "calibration/PassPlan.h"
#include "common/NumberText.h"

namespace trimwright {

struct RunRequest {
  // What the two number fields hold until the user types: the target BLM and
  // the highest rpm to tune.
  static constexpr const char* kDefaultTargetBlm = "124";
  static constexpr const char* kDefaultRpmLimit = "3000";

  // The logged data files, in the order their records are taken; one or more.
  std::vector<std::string> logPaths;
  std::string pcmPath;
  // The report. A dry run writes one only when this names a file.
  std::string logfileName;
  // Where the pass's plan goes as JSON; none when empty.
  std::string jsonPath;
  // The target BLM and the highest rpm to tune, as the front end read them
  // from its texts (ReadNumberField); the run checks and clamps them.
  std::int32_t targetBlm = 124;
  std::int32_t rpmLimit = 3000;
  // Read and compute everything, but open the image read-only and never
  // write it.
  bool dryRun = false;
  PassLimits limits;
  // Cells to lock and to unlock on the image: the pass respects the locks
  // stored with them, and a real pass that completes stores them.
  std::vector<GridCell> lockCells;
  std::vector<GridCell> unlockCells;
  // A real pass first saves the image as it was in the history beside it
  // (unless history is false) and afterwards keeps the newest keepHistory
  // entries.
  bool history = true;
  int keepHistory = 50;
  // Keep where the records lie and what became of them (a sample, and
  // counts per VE cell) in the plan, for the window's scatter plot.
  bool sampleRecords = false;
  // Tune an image that fails the check of its size and checksums (see
  // ImageCheck) as if it had passed; otherwise a pass refuses it and a dry
  // run warns.
  bool ignoreChecksum = false;

  // A request with one log, an empty log path meaning none, and the two
  // numbers read from their texts as a window reads its fields.
  static RunRequest ForOneLog(const std::string& logPath, const std::string& pcmPath,
                              const std::string& logfileName, const std::string& targetBlmText,
                              const std::string& rpmLimitText) {
    RunRequest request;
    if (!logPath.empty()) request.logPaths.push_back(logPath);
    request.pcmPath = pcmPath;
    request.logfileName = logfileName;
    request.targetBlm = ReadNumberField(targetBlmText);
    request.rpmLimit = ReadNumberField(rpmLimitText);
    return request;
  }
};

enum class RunOutcome {
  kCompleted,   // the pass completed (written, or computed for a dry run)
  kEndedEarly,  // a message ended the run before anything was written
};

struct RunResult {
  RunOutcome outcome = RunOutcome::kEndedEarly;
  // The pass as planned (and, unless dry, written) when it completed.
  std::optional<PassPlan> plan;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_RUNREQUEST_H_
