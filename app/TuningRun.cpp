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
#include "app/PassOutputs.h"
#include "app/PassWrite.h"
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

// What one pass holds while it runs. The order of the members is part of
// the output: they are destroyed in reverse, so that an error on the way
// destroys the calibration (its lines) before the logs, as the normal end
// does, and the collector of the calibration's lines outlives it.
struct TuningRun::Pass {
  explicit Pass(Diagnostics& diagnostics) : collector(diagnostics) {}

  ImageAccess access;
  std::optional<ImageCheck> check;
  std::optional<std::string> checkWarning;
  std::vector<GridCell> storedLocks;  // the image's locks as the pass found them
  std::vector<std::unique_ptr<LoggedData>> logs;
  std::vector<FileStamp> logStamps;
  std::vector<std::string> twice;  // the warnings of a log named twice
  // The calibration's lines pass through it, which keeps the pass's warnings.
  WarningCollector collector;
  std::unique_ptr<PCM> calibration;
};

bool TuningRun::CheckRequest(const RunRequest& request, bool writesReport, std::int32_t& rpmLimit) {
  if (request.logPaths.empty() || request.logPaths.front().empty()) {
    window_.ShowMessage("Please enter a datamaster file");
    return false;
  }
  if (request.pcmPath.empty()) {
    window_.ShowMessage("Please enter a Tunercat file");
    return false;
  }
  if (writesReport && request.logfileName.empty()) {
    window_.ShowMessage("Please enter a logfile name");
    return false;
  }
  RefuseUnsafeOutputs(OutputsOf(request, writesReport), InputsOf(request));

  // A target no BLM can have is a typo, not a doubtful choice: tuning toward
  // it would move the table by up to 90 %.
  if (!AcceptsTargetBlm(request.targetBlm)) {
    window_.ShowMessage("The target blm " + std::to_string(request.targetBlm) +
                        " is not a BLM value (0 to 255, 128 means no correction); nothing was "
                        "read or written");
    return false;
  }
  if (!FuelTrimCell::IsAdvisedTarget(request.targetBlm)) {
    window_.ShowMessage("It is recommended to tune for a blm of 118-124");
  }
  rpmLimit = request.rpmLimit;
  if (rpmLimit > kHighestRpmLimit) {
    window_.ShowMessage("Cannot tune above 7000 rpm");
    rpmLimit = kHighestRpmLimit;
  }
  return true;
}

PassLimits TuningRun::OpenImage(const RunRequest& request, Pass& pass) {
  pass.access =
      ImageAccess{request.dryRun, LockImageEarly(request.pcmPath, request.dryRun, fileSystem_)};
  pass.check = CheckLockedImage(request, pass.access.file.get());
  if (pass.check && !pass.check->Sound() && !request.ignoreChecksum) {
    if (!request.dryRun) throw ImageRefusedError(pass.check->Refusal(request.pcmPath));
    pass.checkWarning = pass.check->Warning(request.pcmPath);
    diagnostics_.Warning(*pass.checkWarning);
  }
  // A locks file or baseline that cannot be used refuses the pass.
  PassLimits limits = request.limits;
  if (pass.access.file) {
    pass.storedLocks = CellLocks::Read(request.pcmPath);
    limits.locked = CellLocks::Changed(pass.storedLocks, request.lockCells, request.unlockCells);
    if (limits.maxTotalChangePercent) {
      limits.baseline = ReadBaseline(request.pcmPath, pass.access.file->ReadAll(),
                                     limits.baselineFile, request.ignoreChecksum);
    }
  }
  return limits;
}

bool TuningRun::ReadLogs(const RunRequest& request, Pass& pass) {
  for (std::size_t k = 0; k < request.logPaths.size(); ++k) {
    for (std::size_t other = 0; other < k; ++other) {
      if (SameFile(request.logPaths[k], request.logPaths[other])) {
        pass.twice.push_back("The log " + request.logPaths[k] +
                             " is named twice in this pass; its records count twice");
        window_.ShowMessage(pass.twice.back());
        break;
      }
    }
  }
  for (const std::string& logPath : request.logPaths) {
    pass.logStamps.push_back(FileStamp::Of(logPath));
    pass.logs.push_back(CreateLogReader(logPath, diagnostics_));
    if (!pass.logs.back()) {
      window_.ShowMessage("I don't know what kind of logged data file this is");
      return false;
    }
  }
  return true;
}

PassPlan TuningRun::PlanPass(const RunRequest& request, const PassLimits& limits, Pass& pass,
                             const std::function<void()>& prepareOutputs) {
  PCM& calibration = *pass.calibration;
  calibration.BeginOptimize();
  std::shared_ptr<RecordSample> sample;
  if (request.sampleRecords) {
    std::uint64_t stored = 0;
    for (const std::unique_ptr<LoggedData>& log : pass.logs) stored += log->recordCount;
    sample = std::make_shared<RecordSample>(stored);
  }
  std::vector<RecordFates> fates;
  for (const std::unique_ptr<LoggedData>& log : pass.logs) {
    fates.push_back(calibration.AddLog(*log, limits));
    if (sample) calibration.SampleLog(*log, limits, *sample);
  }
  prepareOutputs();
  PassPlan plan = calibration.PlanVETable(request.targetBlm, limits);
  plan.imageCheck = pass.check;
  if (pass.checkWarning) plan.warnings.push_back(*pass.checkWarning);
  plan.warnings.insert(plan.warnings.end(), pass.twice.begin(), pass.twice.end());
  plan.warnings.insert(plan.warnings.end(), pass.collector.warnings().begin(),
                       pass.collector.warnings().end());
  for (std::size_t k = 0; k < pass.logs.size(); ++k) {
    plan.logs.push_back(
        LogSummary{request.logPaths[k], pass.logs[k]->recordCount, pass.logStamps[k], fates[k]});
  }
  plan.recordSample = std::move(sample);
  SayWhatTheRecordsGave(plan, diagnostics_);
  return plan;
}

void TuningRun::Finish(bool written) {
  window_.SetProgress(kProgressDone);
  if (written) window_.ShowMessage("Processing complete");
  window_.SetProgress(0);
  window_.RepaintProgress();
}

RunResult TuningRun::Perform(const RunRequest& request) {
  RunResult result;
  // A dry run writes a report only where one is named.
  const bool writesReport = !request.dryRun || !request.logfileName.empty();
  std::int32_t rpmLimit = 0;
  if (!CheckRequest(request, writesReport, rpmLimit)) return result;
  window_.SetProgress(kProgressValidated);

  Pass pass(diagnostics_);
  const PassLimits limits = OpenImage(request, pass);
  if (!ReadLogs(request, pass)) return result;
  window_.SetProgress(kProgressLogRead);

  pass.calibration =
      CreateCalibration(request.pcmPath, rpmLimit, std::move(pass.access), pass.collector);
  if (!pass.calibration) {
    window_.ShowMessage("Unknown type of pcm file");
    pass.logs.clear();
    return result;
  }
  window_.SetProgress(kProgressImageOpen);

  // The outputs are prepared before the plan is made, so that one that
  // cannot be written refuses the pass first.
  PassOutputs outputs(request, writesReport, diagnostics_, fileSystem_);
  PassPlan plan = PlanPass(request, limits, pass, [&] { outputs.Prepare(); });
  if (request.dryRun) {
    outputs.Write(plan);
  } else {
    WriteKeepingHistory(
        request, plan, outputs, [&] { pass.calibration->ApplyPlan(plan); }, pass.storedLocks,
        fileSystem_);
  }
  outputs.Finish();

  pass.calibration.reset();
  pass.logs.clear();
  result.outcome = RunOutcome::kCompleted;
  result.plan = std::move(plan);
  Finish(!request.dryRun);
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

  // The plan holds only for the inputs it was made from; every one that
  // changed since is named.
  const std::string bytes = image->ReadAll();
  std::vector<std::string> changed;
  if (request.logPaths.size() != plan.logs.size()) changed.push_back("the list of logs changed");
  for (std::size_t k = 0; k < request.logPaths.size() && k < plan.logs.size(); ++k) {
    const FileStamp now = FileStamp::Of(request.logPaths[k]);
    if (request.logPaths[k] != plan.logs[k].path || now != plan.logs[k].stamp) {
      changed.push_back("the log " + request.logPaths[k] + (now.exists ? " changed" : " is gone"));
    }
  }
  if (request.pcmPath != plan.imagePath || Sha256Hex(bytes) != plan.imageSha256 ||
      FileStamp::Of(request.pcmPath) != plan.imageStamp) {
    changed.push_back("the calibration image " + request.pcmPath + " changed");
  }
  const std::vector<GridCell> storedLocks = CellLocks::Read(request.pcmPath);
  if (storedLocks != plan.limits.locked) {
    changed.push_back("the locked cells of the image " + request.pcmPath + " changed");
  }
  if (!changed.empty()) {
    std::string named = "Since the preview, " + changed.front();
    for (std::size_t k = 1; k < changed.size(); ++k) {
      named += (k + 1 == changed.size() ? " and " : ", ") + changed[k];
    }
    throw StalePreviewError(named + "; nothing was written");
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
  Finish(true);
}

}  // namespace trimwright
