// Tuning pass after pass over the simulated noisy engine with transients: the
// careful limits bring the trims within one count of the target and keep them
// there without swinging past it; without the limits the same engine keeps
// the trims wandering, which shows that the check below can fail. Also the
// rough drive itself: its transients swing the fast correction, and without
// roughness a drive is still the committed sample drive.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "logdata/DMUni.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/TempDir.h"
#include "tools/ConvergenceLoop.h"

namespace trimwright {
namespace {

using testing::TempDir;
using tools::PassDistance;

// Above this distance from the target a sign change of the mean error counts
// as swinging past it; closer, the sign is noise.
constexpr double kClearError = 0.5;
// How far the distance may rise above its lowest so far once it is within a
// count: the noise of one drive, not a table that moves back and forth.
constexpr double kRiseMargin = 0.25;

std::vector<PassDistance> Loop(const PassLimits& limits) {
  TempDir dir;
  tools::ConvergenceSettings settings;
  settings.passes = 10;
  settings.roughness = tools::NoisyEngine();
  settings.limits = limits;
  return tools::RunConvergenceLoop(settings, dir.path());
}

// Whether the distances reach one count within `passes` and settle there: the
// mean error changes sign at most once while clearly away from the target,
// and after first coming within a count the distance stays within it and
// never rises more than kRiseMargin above its lowest so far.
::testing::AssertionResult SettlesWithin(const std::vector<PassDistance>& distances, int passes) {
  const int reached = tools::PassesToWithin(distances, 1.0);
  if (reached < 0 || reached > passes) {
    return ::testing::AssertionFailure() << "within 1 count after " << reached << " passes";
  }
  int signChanges = 0;
  double lastClearSign = 0.0;
  double lowest = distances[static_cast<std::size_t>(reached)].meanDistance;
  for (const PassDistance& d : distances) {
    if (std::fabs(d.meanError) >= kClearError) {
      const double sign = d.meanError > 0 ? 1.0 : -1.0;
      if (lastClearSign != 0.0 && sign != lastClearSign) ++signChanges;
      lastClearSign = sign;
    }
    if (d.pass <= reached) continue;
    if (d.meanDistance > 1.0 || d.meanDistance > lowest + kRiseMargin) {
      return ::testing::AssertionFailure() << "distance " << d.meanDistance << " after pass "
                                           << d.pass << ", lowest before " << lowest;
    }
    lowest = std::min(lowest, d.meanDistance);
  }
  if (signChanges > 1) {
    return ::testing::AssertionFailure()
           << "the mean error swung past the target " << signChanges << " times";
  }
  return ::testing::AssertionSuccess();
}

TEST(ConvergenceTest, CarefulLimitsSettleWithinOneCountWithoutSwinging) {
  const std::vector<PassDistance> distances = Loop(tools::CarefulLimits());
  ASSERT_EQ(distances.size(), 11u);
  EXPECT_GT(distances[0].meanDistance, 3.0) << "the sample image should start well off";
  EXPECT_TRUE(SettlesWithin(distances, 3));
}

TEST(ConvergenceTest, WithoutLimitsTheNoisyEngineKeepsTheTrimsWandering) {
  const std::vector<PassDistance> open = Loop(PassLimits{});
  EXPECT_FALSE(SettlesWithin(open, 3));
  const std::vector<PassDistance> careful = Loop(tools::CarefulLimits());
  double openSum = 0.0;
  double carefulSum = 0.0;
  for (std::size_t k = 1; k < open.size(); ++k) {
    openSum += open[k].meanDistance;
    carefulSum += careful[k].meanDistance;
  }
  EXPECT_LT(carefulSum, openSum * 0.75) << "the limits should keep the trims closer on average";
}

// Right after a flash the block learn values sit near 128 and a plain pass
// reads them as a need for more fuel: the trims stay off. With the second
// trim counted in they settle, and the VE table ends closer to the engine.
TEST(ConvergenceTest, SecondTrimKeepsPassesAfterAFlashFromDrifting) {
  auto loop = [](bool addSecondTrim) {
    TempDir dir;
    tools::ConvergenceSettings settings;
    settings.passes = 6;
    settings.roughness = tools::LaggingTrimsEngine();
    settings.limits = tools::CarefulLimits();
    settings.limits.addSecondTrim = addSecondTrim;
    return tools::RunConvergenceLoop(settings, dir.path()).back();
  };
  const PassDistance plain = loop(false);
  const PassDistance added = loop(true);
  EXPECT_GT(plain.meanDistance, 1.0);
  EXPECT_LT(added.meanDistance, 0.6);
  EXPECT_LT(added.veErrorMean, plain.veErrorMean);
  EXPECT_GT(added.veErrorWorst, 0.0);
}

// Each cell counts by the bank that needs more fuel, weighted by its records;
// cold, high-throttle and idle records stay out.
TEST(TrimCellsTest, CellsCountByTheRicherBankAndTheirRecords) {
  auto record = [](int cell, int left, int right) {
    tools::UniRecord r;
    r.blmCell = static_cast<std::uint8_t>(cell);
    r.blmLeft = static_cast<std::uint8_t>(left);
    r.blmRight = static_cast<std::uint8_t>(right);
    return r;
  };
  tools::UniRecord cold = record(5, 100, 100);
  cold.engineWarmFlags = 0;
  tools::UniRecord wideOpen = record(5, 100, 100);
  wideOpen.highThrottleFlags = 1;
  TempDir dir;
  tools::WriteFile(dir.File("cells.uni"),
                   tools::UniLog({record(5, 126, 130), record(5, 126, 130), record(9, 121, 118),
                                  record(16, 150, 150), cold, wideOpen}));
  testing::CapturedOutput output;
  const DMUni log(dir.File("cells.uni"));
  const tools::TrimSummary cells = tools::SummarizeTrimCells(log, 124);
  EXPECT_EQ(cells.records, 3);
  EXPECT_DOUBLE_EQ(cells.meanBlm, (130.0 * 2 + 121.0) / 3);
  EXPECT_DOUBLE_EQ(cells.meanDistance, (6.0 * 2 + 3.0) / 3);
}

TEST(DriveRoughnessTest, TransientsSwingTheFastCorrectionOnlyInRoughDrives) {
  const tools::CalibrationImage image = tools::MakeSampleImage();
  auto swinging = [](const std::vector<tools::LogSample>& drive) {
    return std::count_if(drive.begin(), drive.end(), [](const tools::LogSample& s) {
      return std::abs(s.auxLeft - 128) > 10 || std::abs(s.auxRight - 128) > 10;
    });
  };
  EXPECT_EQ(swinging(tools::SimulateDrive(image, 7, 1500)), 0);
  // About 4% of the cruise records start a transient whose first records
  // swing the fast correction by more than 10 counts.
  const auto rough = swinging(tools::SimulateDrive(image, 7, 1500, tools::NoisyEngine()));
  EXPECT_GT(rough, 60);
  EXPECT_LT(rough, 300);
}

// The roughness draws from a generator of its own: without it a drive is
// still, byte for byte, the sample drive scripts/make-sample wrote.
TEST(DriveRoughnessTest, SmoothDriveIsTheCommittedSample) {
  std::vector<tools::UniRecord> uni;
  std::vector<tools::FreescanRecord> csv;
  std::vector<tools::PCMcommRecord> txt;
  for (const tools::LogSample& s : tools::SimulateDrive(tools::MakeSampleImage(), 1, 420)) {
    uni.push_back(tools::UniRecord::From(s));
    csv.push_back(tools::FreescanRecord::From(s));
    txt.push_back(tools::PCMcommRecord::From(s));
  }
  const std::string examples = TRIMWRIGHT_EXAMPLES_DIR;
  EXPECT_TRUE(tools::UniLog(uni) == tools::ReadFile(examples + "/sample.uni"));
  EXPECT_TRUE(tools::FreescanLog(csv) == tools::ReadFile(examples + "/sample.csv"));
  EXPECT_TRUE(tools::PCMcommLog(txt) == tools::ReadFile(examples + "/sample.txt"));
}

}  // namespace
}  // namespace trimwright
