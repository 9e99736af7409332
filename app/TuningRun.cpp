#include "app/TuningRun.h"

#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

#include "app/BaselineReader.h"
#include "app/CellLocks.h"
#include "app/FileFormats.h"
#include "app/OutputGuard.h"
#include "app/PassHistory.h"
#include "app/PathRules.h"
#include "app/PlanJson.h"
#include "calibration/PCM.h"
#include "calibration/PassReport.h"
#include "calibration/RecordFates.h"
#include "calibration/RecordSample.h"
#include "common/Diagnostics.h"
#include "common/DiskFile.h"
#include "common/FileStamp.h"
#include "common/NumberText.h"
#include "common/PreparedOutput.h"
#include "common/Sha256.h"
#include "common/TrimwrightError.h"
#include "fueltrim/FuelTrimCell.h"
#include "logdata/LoggedData.h"

namespace trimwright {

namespace {

constexpr std::int32_t kHighestRpmLimit = 7000;
constexpr std::int32_t kLowestBlm = 0;
constexpr std::int32_t kHighestBlm = 255;

constexpr int kProgressValidated = 20;
constexpr int kProgressLogRead = 40;
constexpr int kProgressImageOpen = 60;
constexpr int kProgressDone = 100;

// Takes the image's lock before anything is read, so that a second run on the
// same image is refused at once instead of tuning it twice. A file that
// cannot be opened here is left to the calibration, which reports it where a
// run always has; only the lock itself is taken early, silently.
std::shared_ptr<ImageFile> LockImageEarly(const std::string& pcmPath, bool readOnly,
                                          FileSystem& fileSystem) {
  if (!FindImageFormat(pcmPath)) return nullptr;
  auto file = std::make_shared<ImageFile>(fileSystem);
  const ImageFile::Opening opening = file->Open(pcmPath, readOnly);
  if (opening == ImageFile::Opening::kLocked) {
    throw TrimwrightError(ImageFile::Refusal(opening, pcmPath));
  }
  return opening == ImageFile::Opening::kOpened ? file : nullptr;
}

// The image's check, made from the file the run locked early, before any
// log is read. None when the run holds no file (the calibration then reports
// what is wrong, as a run always has) or, for a run told to tune the image
// anyway, when its bytes cannot be read.
std::optional<ImageCheck> CheckLockedImage(const RunRequest& request, const ImageFile* file) {
  const ImageLayout* layout = FindImageLayout(request.pcmPath);
  if (!file || !layout) return std::nullopt;
  try {
    return ImageCheck::Read(file->disk(), request.pcmPath, *layout);
  } catch (const TrimwrightError&) {
    if (request.ignoreChecksum) return std::nullopt;
    throw;
  }
}

// What a tuner must not miss about the records of a pass, said on the error
// stream and kept among the plan's warnings: a log that shrank while it was
// read, and a pass whose logs gave no record any cell used.
void SayWhatTheRecordsGave(PassPlan& plan, Diagnostics& diagnostics) {
  std::vector<std::string> notices;
  for (const LogSummary& log : plan.logs) {
    const std::uint64_t gone = log.fates.rejected[static_cast<std::size_t>(Rejection::kCutOff)];
    if (gone > 0) {
      notices.push_back(StreamedText("The log ", log.path, " shrank while it was read: ", gone,
                                     " record(s) counted in it were gone when read; tune again "
                                     "once the log is complete"));
    }
  }
  if (plan.NothingToTune()) {
    notices.push_back("Nothing to tune: no record of the log(s) was used (" +
                      FatesLine(plan.Fates()) + "), so the pass changes no VE byte");
  }
  for (const std::string& notice : notices) {
    diagnostics.Err() << notice << std::endl;
    plan.warnings.push_back(notice);
  }
}

// The report a pass is about to replace, as its history entry keeps it: by
// its absolute path (a plain file only), and its bytes when it had any.
struct ReplacedReport {
  std::string path;
  bool existed = false;
  std::optional<std::string> bytes;
};

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

// The files a pass writes besides the image (its report, its JSON), in the
// order the guard and the writes take them.
std::vector<RunOutput> OutputsOf(const RunRequest& request, bool writesReport) {
  std::vector<RunOutput> outputs;
  if (writesReport) outputs.push_back(RunOutput{request.logfileName, "report file", "report"});
  if (!request.jsonPath.empty()) {
    outputs.push_back(RunOutput{request.jsonPath, "JSON file", "JSON"});
  }
  return outputs;
}

// The report and the JSON of one pass: opened before the history entry and
// the image are touched (so that a path that cannot be written refuses the
// pass first), written before the image, and put back as they were when a
// later step fails.
class PassOutputs {
 public:
  // request, diagnostics and fileSystem must outlive the object.
  PassOutputs(const RunRequest& request, bool writesReport, Diagnostics& diagnostics,
              FileSystem& fileSystem)
      : request_(request),
        writesReport_(writesReport),
        diagnostics_(diagnostics),
        json_(fileSystem),
        fileSystem_(fileSystem) {}

  void Prepare() {
    if (writesReport_) {
      report_.emplace(OpenReport(request_.logfileName, diagnostics_, fileSystem_));
    }
    if (!request_.jsonPath.empty() && !json_.Prepare(request_.jsonPath)) {
      throw TrimwrightError("Unable to open JSON file " + request_.jsonPath + " (" +
                            std::generic_category().message(errno) + "); nothing was written");
    }
  }

  // The report the pass replaces, for its history entry.
  ReplacedReport Replaced() const {
    ReplacedReport replaced;
    std::error_code error;
    if (!report_ || !std::filesystem::is_regular_file(request_.logfileName, error)) return replaced;
    replaced.path = ResolvedPath(request_.logfileName).string();
    replaced.existed = !report_->created();
    replaced.bytes = report_->before();
    return replaced;
  }

  void Write(const PassPlan& plan) {
    if (report_) SaveReport(*report_, request_.logfileName, plan, diagnostics_);
    if (!request_.jsonPath.empty() && !json_.Write(PlanJson(plan, request_.dryRun))) {
      throw TrimwrightError("Unable to write JSON file " + request_.jsonPath +
                            "; the calibration image was not changed");
    }
  }

  void Finish() {
    if (report_) report_->Finish();
    json_.Finish();
  }

 private:
  const RunRequest& request_;
  bool writesReport_;
  Diagnostics& diagnostics_;
  std::optional<PreparedOutput> report_;
  PreparedOutput json_;
  FileSystem& fileSystem_;
};

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

// Writes a pass's outputs and then its bytes with write, the image's history
// kept around it: the image as it was is saved before anything is written,
// and the entry counts as done only once the write succeeded. A write that
// fails and is taken back (the image as it was) discards the entry and puts
// the outputs back; one that cannot be taken back keeps the entry and the
// outputs, so that a change never goes without its entry. Where the pass
// changes the image's locks (storedLocks, the locks it found, differ from
// the plan's), they are stored before the image is written and put back
// when the image is as it was: a run killed in between leaves the locks the
// tuner asked for, which hold back more, never less.
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

// The files a pass reads, which none of its outputs may be: the logs, the
// image and the baseline of its total limit.
RunInputs InputsOf(const RunRequest& request) {
  return RunInputs{request.logPaths, request.pcmPath, request.limits.baselineFile};
}

}  // namespace

ImageCheck CheckImageFile(const std::string& pcmPath) {
  const ImageLayout* layout = FindImageLayout(pcmPath);
  if (!layout) {
    throw TrimwrightError("Unknown type of pcm file " + pcmPath +
                          " (a calibration image is a .bin or .lt1 file)");
  }
  const std::shared_ptr<ImageFile> file = ImageFile::OpenLocked(pcmPath, true);
  return ImageCheck::Read(file->disk(), pcmPath, *layout);
}

bool TuningRun::AcceptsTargetBlm(std::int32_t targetBlm) {
  return targetBlm >= kLowestBlm && targetBlm <= kHighestBlm;
}

RunResult TuningRun::Perform(const RunRequest& request) {
  RunResult result;
  if (request.logPaths.empty() || request.logPaths.front().empty()) {
    window_.ShowMessage("Please enter a datamaster file");
    return result;
  }
  if (request.pcmPath.empty()) {
    window_.ShowMessage("Please enter a Tunercat file");
    return result;
  }
  // A dry run writes a report only where one is named.
  const bool writesReport = !request.dryRun || !request.logfileName.empty();
  if (writesReport && request.logfileName.empty()) {
    window_.ShowMessage("Please enter a logfile name");
    return result;
  }
  RefuseUnsafeOutputs(OutputsOf(request, writesReport), InputsOf(request));

  // A target no BLM can have is a typo, not a doubtful choice: tuning toward
  // it would move the table by up to 90 %.
  if (!AcceptsTargetBlm(request.targetBlm)) {
    window_.ShowMessage("The target blm " + std::to_string(request.targetBlm) +
                        " is not a BLM value (0 to 255, 128 means no correction); nothing was "
                        "read or written");
    return result;
  }
  const std::int32_t targetBlm = request.targetBlm;
  if (!FuelTrimCell::IsAdvisedTarget(targetBlm)) {
    window_.ShowMessage("It is recommended to tune for a blm of 118-124");
  }
  std::int32_t rpmLimit = request.rpmLimit;
  if (rpmLimit > kHighestRpmLimit) {
    window_.ShowMessage("Cannot tune above 7000 rpm");
    rpmLimit = kHighestRpmLimit;
  }
  window_.SetProgress(kProgressValidated);

  ImageAccess access{request.dryRun, LockImageEarly(request.pcmPath, request.dryRun, fileSystem_)};
  const std::optional<ImageCheck> check = CheckLockedImage(request, access.file.get());
  std::optional<std::string> checkWarning;
  if (check && !check->Sound() && !request.ignoreChecksum) {
    if (!request.dryRun) throw ImageRefusedError(check->Refusal(request.pcmPath));
    checkWarning = check->Warning(request.pcmPath);
    diagnostics_.Warning(*checkWarning);
  }

  // The image's locks and the baseline of the total limit, before any log
  // is read: a locks file or baseline that cannot be used refuses the pass.
  PassLimits limits = request.limits;
  std::vector<GridCell> storedLocks;
  if (access.file) {
    storedLocks = CellLocks::Read(request.pcmPath);
    limits.locked = CellLocks::Changed(storedLocks, request.lockCells, request.unlockCells);
    if (limits.maxTotalChangePercent) {
      limits.baseline = ReadBaseline(request.pcmPath, access.file->ReadAll(), limits.baselineFile,
                                     request.ignoreChecksum);
    }
  }

  // Declared in this order so that an error on the way destroys the
  // calibration before the logs, as the normal end does.
  std::vector<std::unique_ptr<LoggedData>> logs;
  std::vector<FileStamp> logStamps;
  std::vector<std::string> twice;
  for (std::size_t k = 0; k < request.logPaths.size(); ++k) {
    for (std::size_t other = 0; other < k; ++other) {
      if (SameFile(request.logPaths[k], request.logPaths[other])) {
        twice.push_back("The log " + request.logPaths[k] +
                        " is named twice in this pass; its records count twice");
        window_.ShowMessage(twice.back());
        break;
      }
    }
  }
  for (const std::string& logPath : request.logPaths) {
    logStamps.push_back(FileStamp::Of(logPath));
    logs.push_back(CreateLogReader(logPath, diagnostics_));
    if (!logs.back()) {
      window_.ShowMessage("I don't know what kind of logged data file this is");
      return result;
    }
  }
  window_.SetProgress(kProgressLogRead);

  // The calibration's lines pass through a collector that keeps the warnings
  // of the pass for its plan.
  WarningCollector passDiagnostics(diagnostics_);
  std::unique_ptr<PCM> calibration =
      CreateCalibration(request.pcmPath, rpmLimit, std::move(access), passDiagnostics);
  if (!calibration) {
    window_.ShowMessage("Unknown type of pcm file");
    logs.clear();
    return result;
  }
  window_.SetProgress(kProgressImageOpen);

  calibration->BeginOptimize();
  std::shared_ptr<RecordSample> sample;
  if (request.sampleRecords) {
    std::uint64_t stored = 0;
    for (const std::unique_ptr<LoggedData>& log : logs) stored += log->recordCount;
    sample = std::make_shared<RecordSample>(stored);
  }
  std::vector<RecordFates> fates;
  for (const std::unique_ptr<LoggedData>& log : logs) {
    fates.push_back(calibration->AddLog(*log, limits));
    if (sample) calibration->SampleLog(*log, limits, *sample);
  }
  PassOutputs outputs(request, writesReport, diagnostics_, fileSystem_);
  outputs.Prepare();
  PassPlan plan = calibration->PlanVETable(targetBlm, limits);
  plan.imageCheck = check;
  if (checkWarning) plan.warnings.push_back(*checkWarning);
  plan.warnings.insert(plan.warnings.end(), twice.begin(), twice.end());
  plan.warnings.insert(plan.warnings.end(), passDiagnostics.warnings().begin(),
                       passDiagnostics.warnings().end());
  for (std::size_t k = 0; k < logs.size(); ++k) {
    plan.logs.push_back(
        LogSummary{request.logPaths[k], logs[k]->recordCount, logStamps[k], fates[k]});
  }
  plan.recordSample = std::move(sample);
  SayWhatTheRecordsGave(plan, diagnostics_);
  if (request.dryRun) {
    outputs.Write(plan);
  } else {
    WriteKeepingHistory(
        request, plan, outputs, [&] { calibration->ApplyPlan(plan); }, storedLocks, fileSystem_);
  }
  outputs.Finish();

  calibration.reset();
  logs.clear();
  result.outcome = RunOutcome::kCompleted;
  result.plan = std::move(plan);
  window_.SetProgress(kProgressDone);
  if (!request.dryRun) window_.ShowMessage("Processing complete");
  window_.SetProgress(0);
  window_.RepaintProgress();
  return result;
}

void TuningRun::ApplyPreview(const RunRequest& request, const PassPlan& plan) {
  if (request.logfileName.empty()) {
    window_.ShowMessage("Please enter a logfile name");
    return;
  }
  RefuseUnsafeOutputs(OutputsOf(request, true), InputsOf(request));
  const std::shared_ptr<ImageFile> image =
      ImageFile::OpenLocked(request.pcmPath, false, fileSystem_);

  // The plan holds only for the inputs it was made from.
  const std::string bytes = image->ReadAll();
  bool same = request.pcmPath == plan.imagePath && Sha256Hex(bytes) == plan.imageSha256 &&
              FileStamp::Of(request.pcmPath) == plan.imageStamp &&
              request.logPaths.size() == plan.logs.size();
  for (std::size_t k = 0; same && k < plan.logs.size(); ++k) {
    same = request.logPaths[k] == plan.logs[k].path &&
           FileStamp::Of(plan.logs[k].path) == plan.logs[k].stamp;
  }
  if (!same) {
    throw StalePreviewError(
        "The logged data or the calibration image changed after the preview; nothing was "
        "written");
  }
  const std::vector<GridCell> storedLocks = CellLocks::Read(request.pcmPath);
  if (storedLocks != plan.limits.locked) {
    throw StalePreviewError(
        "The locked cells of the image changed after the preview; nothing "
        "was written");
  }
  const ImageLayout* layout = FindImageLayout(request.pcmPath);
  if (layout && !request.ignoreChecksum) {
    const ImageCheck check(bytes, static_cast<std::int64_t>(bytes.size()), *layout);
    if (!check.Sound()) throw ImageRefusedError(check.Refusal(request.pcmPath));
  }

  PassOutputs outputs(request, true, diagnostics_, fileSystem_);
  outputs.Prepare();
  WriteKeepingHistory(
      request, plan, outputs, [&] { image->WritePlan(plan); }, storedLocks, fileSystem_);
  outputs.Finish();
  window_.SetProgress(kProgressDone);
  window_.ShowMessage("Processing complete");
  window_.SetProgress(0);
  window_.RepaintProgress();
}

}  // namespace trimwright
