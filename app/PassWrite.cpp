#include "app/PassWrite.h"

#include <optional>
#include <string>

#include "app/CellLocks.h"
#include "app/HistoryManifest.h"
#include "app/PassHistory.h"
#include "app/PlanJson.h"
#include "calibration/ImageFile.h"
#include "calibration/PassReport.h"
#include "common/DiskFile.h"
#include "common/Sha256.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

// Saves the image as it is, with the plan and its report, as a prepared
// entry of the image's history. The image lock is held by the calibration.
void PrepareHistory(PassHistory& history, const PassPlan& plan, const std::string& pcmPath,
                    const ReplacedReport& report) {
  DiskFile file;
  std::string before;
  if (!file.OpenForReading(pcmPath) || !file.ReadAll(before)) {
    throw TrimwrightError("Unable to read file " + pcmPath);
  }
  if (Sha256Hex(before) != plan.imageSha256) {
    throw TrimwrightError("The image " + pcmPath +
                          " changed after the pass was planned; nothing was written");
  }
  history.Recover(plan.imageSha256);
  std::string after = before;
  after.replace(static_cast<std::size_t>(plan.regionOffset), plan.newRegion.size(), plan.newRegion);
  HistoryEntry entry;
  entry.kind = EntryKind::kPass;
  for (const LogSummary& log : plan.logs) entry.logs.push_back(log.path);
  entry.targetBlm = plan.targetBlm;
  entry.rpmLimit = plan.rpmLimit;
  entry.cellsChanged = plan.CellsChanged();
  entry.beforeSha256 = plan.imageSha256;
  entry.afterSha256 = Sha256Hex(after);
  entry.regionOffset = plan.regionOffset;
  entry.newRegion = plan.newRegion;
  entry.reportPath = report.path;
  entry.reportExisted = report.existed;
  history.Prepare(std::move(entry), before, PlanJson(plan, false), ReportText(plan), report.bytes);
}

// The message of an image write that failed and could not be taken back:
// what the image holds, and how the entry kept (entry, 0 for none) puts it
// back.
std::string NotPutBack(const ImageWriteError& error, std::uint64_t entry) {
  std::string text = std::string(error.what()) + "; the image could not be put back as it was ";
  text += error.left() == WriteLeft::kAsWritten ? "and holds the pass's new bytes"
                                                : "and may hold part of the pass's new bytes";
  if (entry == 0) return text + " (the pass kept no history)";
  return text + ": the pass's history entry #" + std::to_string(entry) +
         " is kept, so --undo puts back the image from before the pass" +
         (error.left() == WriteLeft::kAsWritten ? "" : " (with --force, as it changed since)");
}

}  // namespace

// Where the pass changes the image's locks, they are stored before the image
// is written and put back when the image is as it was: a run killed in
// between leaves the locks the tuner asked for, which hold back more, never
// less.
void WriteKeepingHistory(const RunRequest& request, const PassPlan& plan, PassOutputs& outputs,
                         const std::function<void()>& write,
                         const std::vector<GridCell>& storedLocks, FileSystem& fileSystem) {
  std::optional<PassHistory> history;
  // A pass that changes no byte has nothing to undo.
  if (request.history && plan.newRegion != plan.oldRegion) {
    history.emplace(request.pcmPath, fileSystem);
    PrepareHistory(*history, plan, request.pcmPath, outputs.Replaced());
  }
  const bool storeLocks = storedLocks != plan.limits.locked;
  const auto takeBack = [&] {
    if (history) history->Discard();
    if (storeLocks) {
      try {
        CellLocks::Store(request.pcmPath, storedLocks, fileSystem);
      } catch (const TrimwrightError&) {
        // The locks asked for stay; they hold back more, never less.
      }
    }
  };
  try {
    if (storeLocks) CellLocks::Store(request.pcmPath, plan.limits.locked, fileSystem);
    outputs.Write(plan);
    write();
  } catch (const ImageWriteError& error) {
    if (error.left() == WriteLeft::kAsBefore) {
      takeBack();
      throw;
    }
    const std::uint64_t entry = history ? history->preparedSequence() : 0;
    if (history) history->Commit();
    outputs.Finish();
    throw TrimwrightError(NotPutBack(error, entry));
  } catch (...) {
    takeBack();
    throw;
  }
  if (history) {
    history->Commit();
    history->Retain(request.keepHistory);
  }
}

}  // namespace trimwright
