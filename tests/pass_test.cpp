// Whole tuning passes as a run makes them, on an image and a Datamaster log
// written for each case: what the report and the image hold
// afterwards, and how a pass ends when the image cannot be synchronised.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/TuningRun.h"
#include "calibration/PassPlan.h"
#include "calibration/Tunercat.h"
#include "common/DiskFile.h"
#include "common/TrimwrightError.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/QuietWindow.h"
#include "tests/support/TempDir.h"
#include "tools/ImageWriter.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

using testing::CapturedOutput;
using testing::TempDir;
using tools::CalibrationImage;
using tools::ImageLayout;
using tools::UniRecord;

constexpr std::int32_t kRpmLimit = 3000;
// Row and columns of the VE grid: 1600 rpm spans 1500 to 1700 rpm, 40 kPa
// spans 37.5 to 42.5 kPa and 50 kPa spans 47.5 to 52.5 kPa.
constexpr int kRow1600 = 6;
constexpr int kColumn40 = 4;
constexpr int kColumn50 = 6;

// n records of fuel trim cell `cell` with both banks at blm.
std::vector<UniRecord> Records(int n, std::uint8_t cell, std::uint8_t blm) {
  UniRecord record;
  record.blmCell = cell;
  record.blmLeft = blm;
  record.blmRight = blm;
  return std::vector<UniRecord>(static_cast<std::size_t>(n), record);
}

class PassTest : public ::testing::Test {
 protected:
  std::string WriteImage(const std::string& name, const CalibrationImage& image) {
    tools::WriteFile(dir_.File(name), image.Bytes(ImageLayout::kBin));
    return dir_.File(name);
  }

  // One pass over the image at imagePath with a log of records.
  void Pass(const std::string& imagePath, const std::vector<UniRecord>& records,
            std::int32_t targetBlm, const std::string& reportPath,
            FileSystem& fileSystem = FileSystem::Default()) {
    const std::string logPath = dir_.File("drive.uni");
    tools::WriteFile(logPath, tools::UniLog(records));
    RunRequest request = RunRequest::ForOneLog(
        logPath, imagePath, reportPath, std::to_string(targetBlm), std::to_string(kRpmLimit));
    // The images here are made for the cells a case needs, not sealed.
    request.ignoreChecksum = true;
    request.history = false;
    testing::QuietWindow window;
    TuningRun(window, Diagnostics::Standard(), fileSystem).Perform(request);
  }

  // A pass on the image, reporting to car_trw.txt; returns the report.
  std::string PassReport(const CalibrationImage& image, const std::vector<UniRecord>& records,
                         std::int32_t targetBlm) {
    Pass(WriteImage("car.bin", image), records, targetBlm, dir_.File("car_trw.txt"));
    return tools::ReadFile(dir_.File("car_trw.txt"));
  }

  CalibrationImage TunedImage() const {
    return CalibrationImage::FromBytes(tools::ReadFile(dir_.File("car.bin")), ImageLayout::kBin);
  }

  TempDir dir_;
  CapturedOutput output_;
};

// The idle cell takes every warm record logged in it, high throttle or not;
// its statistics show all of them.
TEST_F(PassTest, IdleCellCountsWarmRecordsAtAnyThrottle) {
  std::vector<UniRecord> records = Records(3, LT1_obd1::kIdleCellNumber, 128);
  records[0].blmLeft = 130;
  records[1].blmLeft = 131;
  records[2].blmLeft = 150;
  records[2].highThrottleFlags = 1;
  records.push_back(records[0]);
  records.back().engineWarmFlags = 0;  // a cold record counts nowhere
  const std::string report = PassReport(CalibrationImage(), records, 124);
  EXPECT_NE(report.find("\n16:\t3\t"), std::string::npos) << report;
  EXPECT_NE(report.find("\n\t\t130/137/150\t128/128/128\n"), std::string::npos) << report;
}

// 232 x 1.1 + 0.5 truncates to 255, the largest byte: written as it is, with
// no overflow mark and no warning.
TEST_F(PassTest, NewVeOfExactly255IsWrittenWithoutOverflow) {
  CalibrationImage image;
  image.MainVe(kRow1600, kColumn50) = 232;
  const std::string report = PassReport(image, Records(4, 5, 132), 120);
  EXPECT_NE(report.find("\ncell[1600][50]\t90.6\t1.1\t99.6\t\n"), std::string::npos) << report;
  EXPECT_EQ(report.find("(*)"), std::string::npos);
  EXPECT_EQ(output_.Stdout().find("Warning!  VE cell"), std::string::npos);
  EXPECT_EQ(TunedImage().MainVe(kRow1600, kColumn50), 255);
}

// With a fuel trim map boundary at 41 kPa, the 40 kPa column lies 3.5 kPa
// below it (cell 1, factor 1.1) and 1.5 kPa above it (cell 5, empty, 1.0):
// (1.1 x 3.5 + 1.0 x 1.5) / 5 = 1.07, and 200 x 1.07 + 0.5 truncates to 214.
TEST_F(PassTest, VeCellAcrossAnOffCentreMapBoundaryWeighsEachPartByItsWidth) {
  CalibrationImage image;
  image.SetBoundaryBytes({48, 80, 112, 41, 60, 80});
  image.MainVe(kRow1600, kColumn40) = 200;
  const std::string report = PassReport(image, Records(4, 1, 132), 120);
  EXPECT_NE(report.find("\ncell[1600][40]\t78.1\t1.07\t83.6\t\n"), std::string::npos) << report;
  EXPECT_EQ(TunedImage().MainVe(kRow1600, kColumn40), 214);
}

// An existing report longer than the new one is replaced whole: the file
// holds exactly what a pass writes where no report was before.
TEST_F(PassTest, ReportRewrittenShorterKeepsNothingOfTheOldOne) {
  const std::vector<UniRecord> records = Records(4, 5, 132);
  const std::string fresh = dir_.File("fresh_trw.txt");
  Pass(WriteImage("fresh.bin", CalibrationImage()), records, 120, fresh);
  const std::string old = dir_.File("old_trw.txt");
  tools::WriteFile(old, std::string(20000, 'x') + "\n");
  Pass(WriteImage("old.bin", CalibrationImage()), records, 120, old);
  ASSERT_LT(tools::ReadFile(fresh).size(), 20000u);
  EXPECT_EQ(tools::ReadFile(old), tools::ReadFile(fresh));
}

// The image is synchronised after its one write; a sync that fails ends the
// run with the image's write error (exit status 3), not with success.
TEST_F(PassTest, ImageThatCannotBeSynchronisedEndsTheRunWithItsWriteError) {
  const std::string imagePath = WriteImage("car.bin", CalibrationImage());
  testing::FaultyFileSystem failing;
  failing.FailEvery("sync", imagePath);
  try {
    Pass(imagePath, Records(4, 5, 132), 120, dir_.File("car_trw.txt"), failing);
    ADD_FAILURE() << "the run ended without an error";
  } catch (const TrimwrightError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Unable to write file " + imagePath, 0), 0u) << e.what();
    EXPECT_EQ(e.status(), ExitStatus::kFileOrMemory);
  }
}

// The JSON and the window list a warning once with how often it came, in the
// order it first came; one that came once bears no count.
TEST(PassPlanTest, RepeatedWarningsAreListedOnceWithTheirCount) {
  PassPlan plan;
  plan.warnings = {"twice", "once", "twice"};
  std::vector<std::string> listed;
  for (const PassPlan::CountedWarning& warning : plan.DistinctWarnings()) {
    listed.push_back(warning.Listed());
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"twice (x2)", "once"}));
}

}  // namespace
}  // namespace trimwright
