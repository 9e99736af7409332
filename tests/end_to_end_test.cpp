// One small tuning run from a synthetic Datamaster log on a Tunercat image,
// the way the program makes it, compared line for line with checked-in
// expectations: the report and everything the pass writes to standard output.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/TuningRun.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/Golden.h"
#include "tests/support/QuietWindow.h"
#include "tests/support/TempDir.h"
#include "tools/ImageWriter.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

using testing::CapturedOutput;
using testing::MatchesGolden;
using testing::ReplaceAll;
using testing::TempDir;
using tools::CalibrationImage;
using tools::ImageLayout;
using tools::UniRecord;

UniRecord Record(int cell, int rpmCounts, int mapCounts, int left, int right) {
  UniRecord r;
  r.blmCell = static_cast<std::uint8_t>(cell);
  r.rpmCounts = static_cast<std::uint8_t>(rpmCounts);
  r.mapCounts = static_cast<std::uint8_t>(mapCounts);
  r.blmLeft = static_cast<std::uint8_t>(left);
  r.blmRight = static_cast<std::uint8_t>(right);
  return r;
}

// A short drive: every fuel trim cell gets two records with trims that differ
// by cell; cell 0 runs rich on the right bank (a bank warning); the idle cell
// gets records around 800 rpm and 35 kPa; a cold record, a high-throttle
// record and one in a cell the table does not have are left out.
std::vector<UniRecord> SmallDrive() {
  std::vector<UniRecord> records;
  for (int cell = 1; cell < 16; ++cell) {
    const int rpmCounts = 30 + 20 * (cell % 4);
    const int mapCounts = 60 + 50 * (cell / 4);
    records.push_back(
        Record(cell, rpmCounts, mapCounts, 118 + (cell * 7) % 20, 120 + (cell * 5) % 17));
    records.push_back(
        Record(cell, rpmCounts + 2, mapCounts + 3, 121 + (cell * 3) % 19, 125 + cell % 9));
  }
  records.push_back(Record(0, 30, 40, 150, 100));
  records.push_back(Record(0, 31, 45, 149, 101));
  const int idleRpm[] = {24, 40, 24, 40, 32, 32};
  const int idleMap[] = {53, 80, 80, 53, 66, 67};
  for (int k = 0; k < 6; ++k)
    records.push_back(Record(16, idleRpm[k], idleMap[k], 126 + k, 131 - k));
  UniRecord cold = Record(5, 60, 120, 90, 90);
  cold.engineWarmFlags = 0;
  UniRecord floored = Record(6, 60, 120, 200, 200);
  floored.highThrottleFlags = 1;
  records.push_back(cold);
  records.push_back(floored);
  records.push_back(Record(17, 60, 120, 200, 200));
  return records;
}

TEST(EndToEndTest, SmallRunReportAndDiagnosticsMatchTheirExpectations) {
  TempDir dir;
  CalibrationImage image;
  image.MainVe(1, 1) = 250;  // 600 rpm, 25 kPa: inside fuel trim cell 0, which overflows it
  image.MakeChecksumConsistent();
  const std::string imagePath = dir.File("car.bin");
  const std::string logPath = dir.File("drive.uni");
  const std::string reportPath = dir.File("car_trw.txt");
  tools::WriteFile(imagePath, image.Bytes(ImageLayout::kBin));
  tools::WriteFile(logPath, tools::UniLog(SmallDrive()));

  CapturedOutput output;
  testing::QuietWindow window;
  RunRequest request = RunRequest::ForOneLog(logPath, imagePath, reportPath, "124", "3000");
  request.history = false;
  ASSERT_EQ(TuningRun(window).Perform(request).outcome, RunOutcome::kCompleted);
  EXPECT_EQ(window.messages, "Processing complete\n");
  EXPECT_TRUE(MatchesGolden(tools::ReadFile(reportPath), "small_run.report.expected.txt"));
  EXPECT_TRUE(MatchesGolden(ReplaceAll(output.Stdout(), dir.path(), "<dir>"),
                            "small_run.stdout.expected.txt"));
  EXPECT_EQ(output.Stderr(), "");

  const CalibrationImage after =
      CalibrationImage::FromBytes(tools::ReadFile(imagePath), ImageLayout::kBin);
  EXPECT_EQ(after.MainVe(1, 1), 250);
  EXPECT_EQ(after.StoredChecksum(), after.ComputedChecksum());
}

}  // namespace
}  // namespace trimwright
