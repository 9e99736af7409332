#include "app/TuningRun.h"

#include <filesystem>
#include <memory>

#include "app/ControlIds.h"
#include "app/PathRules.h"
#include "calibration/LT1edit.h"
#include "calibration/PCM.h"
#include "calibration/Tunercat.h"
#include "common/NumberText.h"
#include "common/TrimwrightError.h"
#include "fueltrim/FuelTrimCell.h"
#include "logdata/DMUni.h"
#include "logdata/Freescan.h"
#include "logdata/LoggedData.h"
#include "logdata/PCMcomm.h"

namespace trimwright {

namespace {

constexpr std::int32_t kHighestRpmLimit = 7000;

constexpr int kProgressValidated = 20;
constexpr int kProgressLogRead = 40;
constexpr int kProgressImageOpen = 60;
constexpr int kProgressDone = 100;

// Extensions compare exactly: only the all-lower and all-upper forms count.
bool HasExtension(const std::string& path, const char* lower, const char* upper) {
  const std::string extension = FileExtension(path);
  return extension == lower || extension == upper;
}

std::unique_ptr<PCM> CreateCalibration(const std::string& pcmPath, std::int32_t rpmLimit) {
  if (HasExtension(pcmPath, "bin", "BIN")) return std::make_unique<Tunercat>(pcmPath, rpmLimit);
  if (HasExtension(pcmPath, "lt1", "LT1")) return std::make_unique<LT1edit>(pcmPath, rpmLimit);
  return nullptr;
}

// The report is created or truncated by the run; when it names one of the
// inputs that would destroy the input, so the run refuses before anything.
void RefuseReportOverInput(const std::string& logfileName, const std::string& inputPath,
                           const char* inputName) {
  std::error_code ignored;
  if (std::filesystem::equivalent(logfileName, inputPath, ignored)) {
    throw TrimwrightError("The report file " + logfileName + " is the " + inputName +
                          " itself; writing the report would destroy it");
  }
}

}  // namespace

std::unique_ptr<LoggedData> CreateLogReader(const std::string& logPath) {
  if (HasExtension(logPath, "uni", "UNI")) return std::make_unique<DMUni>(logPath);
  if (HasExtension(logPath, "csv", "CSV")) return std::make_unique<Freescan>(logPath);
  if (HasExtension(logPath, "txt", "TXT")) return std::make_unique<PCMcomm>(logPath);
  return nullptr;
}

std::int32_t TuningRun::ReadNumberField(int controlId) {
  std::string text = window_.FieldText(controlId);
  if (text.size() > kFieldTextLimit) text.resize(kFieldTextLimit);
  return ParseInt(text);
}

RunOutcome TuningRun::Perform(const std::string& logPath, const std::string& pcmPath,
                              const std::string& logfileName, std::int32_t& targetBlm,
                              std::int32_t& rpmLimit) {
  if (logPath.empty()) {
    window_.ShowMessage("Please enter a datamaster file");
    return RunOutcome::kEndedEarly;
  }
  if (pcmPath.empty()) {
    window_.ShowMessage("Please enter a Tunercat file");
    return RunOutcome::kEndedEarly;
  }
  if (logfileName.empty()) {
    window_.ShowMessage("Please enter a logfile name");
    return RunOutcome::kEndedEarly;
  }
  RefuseReportOverInput(logfileName, logPath, "logged data file");
  RefuseReportOverInput(logfileName, pcmPath, "calibration image");

  targetBlm = ReadNumberField(IDC_TARGET_BLM);
  if (!FuelTrimCell::IsAdvisedTarget(targetBlm)) {
    window_.ShowMessage("It is recommended to tune for a blm of 118-124");
  }
  rpmLimit = ReadNumberField(IDC_RPM_LIMIT);
  if (rpmLimit > kHighestRpmLimit) {
    window_.ShowMessage("Cannot tune above 7000 rpm");
    rpmLimit = kHighestRpmLimit;
  }
  window_.SetProgress(kProgressValidated);

  // Declared in this order so that an error on the way destroys the
  // calibration before the log, as the normal end does.
  std::unique_ptr<LoggedData> log = CreateLogReader(logPath);
  if (!log) {
    window_.ShowMessage("I don't know what kind of logged data file this is");
    return RunOutcome::kEndedEarly;
  }
  window_.SetProgress(kProgressLogRead);

  std::unique_ptr<PCM> calibration = CreateCalibration(pcmPath, rpmLimit);
  if (!calibration) {
    window_.ShowMessage("Unknown type of pcm file");
    log.reset();
    return RunOutcome::kEndedEarly;
  }
  window_.SetProgress(kProgressImageOpen);

  calibration->OptimizeVETable(log.get(), targetBlm, logfileName);
  calibration.reset();
  log.reset();
  window_.SetProgress(kProgressDone);
  window_.ShowMessage("Processing complete");
  window_.SetProgress(0);
  window_.RepaintProgress();
  return RunOutcome::kCompleted;
}

}  // namespace trimwright
