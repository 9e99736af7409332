#include "tools/ConvergenceLoop.h"

#include <sstream>

#include "app/TuningRun.h"
#include "logdata/DMUni.h"

namespace trimwright::tools {

namespace {

// The drive that measures every image: long enough to visit every part-throttle
// cell many times, with a seed no tuning drive uses.
constexpr std::uint32_t kMeasureSeed = 1;
constexpr int kMeasureRecords = 4000;

// A window for a pass nobody watches: the loop looks only at the outcome.
class UnwatchedWindow : public RunWindow {
 public:
  void ShowMessage(const std::string& text) override { messages_ += text + "\n"; }
  void SetProgress(int) override {}
  void RepaintProgress() override {}
  const std::string& messages() const { return messages_; }

 private:
  std::string messages_;
};

void WriteDriveLog(const std::string& path, const std::vector<LogSample>& drive) {
  std::vector<UniRecord> records;
  records.reserve(drive.size());
  for (const LogSample& s : drive) records.push_back(UniRecord::From(s));
  WriteFile(path, UniLog(records));
}

PassDistance Measure(int pass, const CalibrationImage& image, const std::string& folder,
                     std::int32_t targetBlm, Diagnostics& quiet) {
  const std::string path = folder + "/measure.uni";
  WriteDriveLog(path, SimulateDrive(image, kMeasureSeed, kMeasureRecords));
  const DMUni log(path, ReadPlan::ForThisMachine(), quiet);
  const TrimSummary cells = SummarizeTrimCells(log, targetBlm);
  PassDistance distance;
  distance.pass = pass;
  distance.meanDistance = cells.meanDistance;
  distance.meanError = cells.meanBlm - targetBlm;
  distance.recordDistance = SummarizeTrims(log, targetBlm).meanDistance;
  return distance;
}

}  // namespace

DriveRoughness NoisyEngine() {
  DriveRoughness roughness;
  roughness.blmNoise = 4.0;
  roughness.transientPercent = 4.0;
  return roughness;
}

PassLimits CarefulLimits() {
  PassLimits limits;
  limits.minRecords = 30;
  limits.maxChangePercent = 10.0;
  limits.auxWindow = AuxWindow{118, 138};
  return limits;
}

std::string LimitOptions(const PassLimits& limits) {
  std::string options;
  auto add = [&options](const std::string& option) {
    options += (options.empty() ? "" : " ") + option;
  };
  if (limits.minRecords) add(StreamedText("--min-records ", *limits.minRecords));
  if (limits.maxChangePercent) add(StreamedText("--max-change ", *limits.maxChangePercent));
  if (limits.auxWindow) {
    add(StreamedText("--aux-window ", limits.auxWindow->low, "-", limits.auxWindow->high));
  }
  if (limits.addSecondTrim) add("--add-second-trim");
  if (limits.smooth) add("--smooth");
  return options;
}

std::vector<PassDistance> RunConvergenceLoop(const ConvergenceSettings& settings,
                                             const std::string& folder) {
  std::ostringstream discarded;
  Diagnostics quiet(discarded, discarded);
  const std::string logPath = folder + "/drive.uni";
  const std::string imagePath = folder + "/car.bin";

  CalibrationImage image = MakeSampleImage();
  std::vector<PassDistance> distances{Measure(0, image, folder, settings.targetBlm, quiet)};
  for (int pass = 1; pass <= settings.passes; ++pass) {
    const auto seed = settings.firstSeed + static_cast<std::uint32_t>(pass);
    WriteDriveLog(logPath, SimulateDrive(image, seed, settings.driveRecords, settings.roughness));
    WriteFile(imagePath, image.Bytes(ImageLayout::kBin));

    RunRequest request = RunRequest::ForOneLog(logPath, imagePath, folder + "/car_trw.txt",
                                               std::to_string(settings.targetBlm),
                                               std::to_string(settings.rpmLimit));
    request.limits = settings.limits;
    request.history = false;
    UnwatchedWindow window;
    if (TuningRun(window, quiet).Perform(request).outcome != RunOutcome::kCompleted) {
      throw TrimwrightError("pass " + std::to_string(pass) + " ended early: " + window.messages(),
                            ExitStatus::kEndedEarly);
    }
    image = CalibrationImage::FromBytes(ReadFile(imagePath), ImageLayout::kBin);
    distances.push_back(Measure(pass, image, folder, settings.targetBlm, quiet));
  }
  return distances;
}

int PassesToWithin(const std::vector<PassDistance>& distances, double within) {
  for (const PassDistance& d : distances) {
    if (d.meanDistance <= within) return d.pass;
  }
  return -1;
}

}  // namespace trimwright::tools
