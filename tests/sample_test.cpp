// The simulated sample: a tuning pass on it, followed by a new simulated drive
// over the tuned image, brings the logged BLMs toward the target in every log
// format and in both image layouts.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "app/TuningRun.h"
#include "logdata/DMUni.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/GermanLocale.h"
#include "tests/support/QuietWindow.h"
#include "tests/support/TempDir.h"
#include "tools/DriveSimulator.h"

namespace trimwright {
namespace {

using testing::CapturedOutput;
using testing::QuietWindow;
using testing::TempDir;
using tools::CalibrationImage;
using tools::ImageLayout;

const std::string kExamples = TRIMWRIGHT_EXAMPLES_DIR;
constexpr int kTarget = 124;
constexpr std::uint32_t kSeed = 1;
constexpr int kRecords = 420;

void Tune(const std::string& log, const std::string& image, const std::string& report) {
  QuietWindow window;
  const RunRequest request =
      RunRequest::ForOneLog(log, image, report, std::to_string(kTarget), "3000");
  ASSERT_EQ(TuningRun(window).Perform(request).outcome, RunOutcome::kCompleted);
  EXPECT_EQ(window.messages, "Processing complete\n");
}

// The warm part-throttle BLMs of a new drive over image, logged and read
// back as a Datamaster log.
tools::TrimSummary DriveOver(const CalibrationImage& image) {
  TempDir dir;
  std::vector<tools::UniRecord> records;
  for (const tools::LogSample& s : tools::SimulateDrive(image, kSeed, kRecords)) {
    records.push_back(tools::UniRecord::From(s));
  }
  tools::WriteFile(dir.File("drive.uni"), tools::UniLog(records));
  const DMUni log(dir.File("drive.uni"));
  return tools::SummarizeTrims(log, kTarget);
}

class SampleTest : public ::testing::TestWithParam<const char*> {
 protected:
  TempDir dir_;
  CapturedOutput output_;
};

TEST_P(SampleTest, TuningPassMovesTheTrimsTowardTheTarget) {
  const std::string log = kExamples + "/sample." + GetParam();
  const std::string image = dir_.File("car.bin");
  tools::WriteFile(image, tools::ReadFile(kExamples + "/sample.bin"));

  const CalibrationImage original = tools::MakeSampleImage();
  ASSERT_EQ(tools::ReadFile(image), original.Bytes(ImageLayout::kBin))
      << "examples/sample.bin is not the sample image; run scripts/make-sample";
  const tools::TrimSummary before = DriveOver(original);

  Tune(log, image, dir_.File("car_trw.txt"));
  const CalibrationImage tuned =
      CalibrationImage::FromBytes(tools::ReadFile(image), ImageLayout::kBin);
  const tools::TrimSummary after = DriveOver(tuned);

  EXPECT_GT(before.meanDistance, 2.5);
  EXPECT_LT(after.meanDistance, before.meanDistance * 0.6);
  EXPECT_NEAR(after.meanBlm, kTarget, 1.5);
  EXPECT_EQ(tuned.StoredChecksum(), tuned.ComputedChecksum());
}

INSTANTIATE_TEST_SUITE_P(Formats, SampleTest, ::testing::Values("uni", "csv", "txt"));

TEST(SampleLayoutsTest, BothLayoutsTuneToTheSameBytes) {
  TempDir dir;
  CapturedOutput output;
  const std::string bin = dir.File("car.bin");
  const std::string lt1 = dir.File("car.lt1");
  tools::WriteFile(bin, tools::ReadFile(kExamples + "/sample.bin"));
  tools::WriteFile(lt1, tools::ReadFile(kExamples + "/sample.lt1"));
  Tune(kExamples + "/sample.csv", bin, dir.File("bin_report.txt"));
  Tune(kExamples + "/sample.csv", lt1, dir.File("lt1_report.txt"));
  EXPECT_EQ(
      CalibrationImage::FromBytes(tools::ReadFile(lt1), ImageLayout::kLt1).Bytes(ImageLayout::kBin),
      tools::ReadFile(bin));
  EXPECT_EQ(tools::ReadFile(dir.File("bin_report.txt")),
            tools::ReadFile(dir.File("lt1_report.txt")));
}

// The window's toolkit sets the C locale from the environment; a whole pass
// must read and write the same numbers under a locale with a decimal comma.
TEST(SampleLocaleTest, WholePassIsTheSameUnderAGermanLocale) {
  auto pass = [](const TempDir& dir) {
    tools::WriteFile(dir.File("car.lt1"), tools::ReadFile(kExamples + "/sample.lt1"));
    CapturedOutput output;
    Tune(kExamples + "/sample.csv", dir.File("car.lt1"), dir.File("car_trw.txt"));
    return output.Stdout() + tools::ReadFile(dir.File("car_trw.txt")) +
           tools::ReadFile(dir.File("car.lt1"));
  };
  TempDir plain;
  TempDir german;
  const std::string expected = pass(plain);
  std::string actual;
  {
    const testing::GermanLocale locale;
    if (locale.name() == nullptr) GTEST_SKIP() << testing::kNoGermanLocale;
    actual = pass(german);
  }
  for (std::size_t at; (at = actual.find(german.path())) != std::string::npos;) {
    actual.replace(at, german.path().size(), plain.path());
  }
  EXPECT_TRUE(actual == expected) << "a German locale changed the output of a pass";
}

}  // namespace
}  // namespace trimwright
