#include "tools/ConvergenceLoop.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>

#include "app/TuningRun.h"
#include "calibration/ImageLayout.h"
#include "calibration/VEGrid.h"
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

// The VE error of image over the tuned cells the measuring drive ran in: the
// table against the one that puts the richer bank's trims at the target.
void MeasureVeError(const CalibrationImage& image, const LoggedData& log,
                    const ConvergenceSettings& settings, PassDistance& distance) {
  std::array<bool, VEGrid::kRows * VEGrid::kColumns> visited{};
  for (std::uint32_t r = 0; r < log.recordCount; ++r) {
    if (!log.engineWarm[r] || log.highThrottle[r] || log.blmCell[r] >= 16) continue;
    const int row = VEGrid::RowOf(log.rpm[r]);
    const int column = VEGrid::ColumnOf(log.map[r]);
    if (row >= 0 && column >= 0)
      visited[static_cast<std::size_t>(row * VEGrid::kColumns + column)] = true;
  }
  const int rows = VEGrid(settings.rpmLimit).ReachableRows();
  double sum = 0.0;
  int cells = 0;
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < VEGrid::kColumns; ++column) {
      if (!visited[static_cast<std::size_t>(row * VEGrid::kColumns + column)]) continue;
      const double rpm = GridRowRpm(row);
      const double kpa = GridColumnKpa(column);
      const double ideal =
          EngineVe(settings.roughness, rpm, kpa) * kRightBankNeed * 128.0 / settings.targetBlm;
      const double table = image.GridVe(row, column) * static_cast<double>(kVePercentPerCount);
      const double error = std::fabs(table / ideal - 1.0) * 100.0;
      sum += error;
      distance.veErrorWorst = std::max(distance.veErrorWorst, error);
      ++cells;
    }
  }
  distance.veErrorMean = cells > 0 ? sum / cells : 0.0;
}

// The measuring drive runs on the same engine as the tuning drives, without
// their noise and transients.
PassDistance Measure(int pass, const CalibrationImage& image, const std::string& folder,
                     const ConvergenceSettings& settings, Diagnostics& quiet) {
  const std::string path = folder + "/measure.uni";
  DriveRoughness engine;
  engine.veRipple = settings.roughness.veRipple;
  WriteDriveLog(path, SimulateDrive(image, kMeasureSeed, kMeasureRecords, engine));
  const DMUni log(path, ReadPlan::ForThisMachine(), quiet);
  const TrimSummary cells = SummarizeTrimCells(log, settings.targetBlm);
  PassDistance distance;
  distance.pass = pass;
  distance.meanDistance = cells.meanDistance;
  distance.meanError = cells.meanBlm - settings.targetBlm;
  distance.recordDistance = SummarizeTrims(log, settings.targetBlm).meanDistance;
  MeasureVeError(image, log, settings, distance);
  return distance;
}

}  // namespace

DriveRoughness NoisyEngine() {
  DriveRoughness roughness;
  roughness.blmNoise = 4.0;
  roughness.transientPercent = 4.0;
  roughness.veRipple = 0.03;
  return roughness;
}

DriveRoughness LaggingTrimsEngine() {
  DriveRoughness roughness = NoisyEngine();
  roughness.blmLearnRate = 0.05;
  return roughness;
}

PassLimits LimitsOf(const ReadingWay& way, PassLimits base) {
  base.addSecondTrim = way.addSecondTrim;
  base.smooth = way.smooth;
  return base;
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
  std::vector<PassDistance> distances{Measure(0, image, folder, settings, quiet)};
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
    distances.push_back(Measure(pass, image, folder, settings, quiet));
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
