// The calibration image: VE grid, boundaries, tuning of single cells, the
// checksum, the report and what a run may and may not write.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "calibration/LT1edit.h"
#include "calibration/PassReport.h"
#include "calibration/Tunercat.h"
#include "calibration/VEGrid.h"
#include "calibration/VEPlanner.h"
#include "common/TrimwrightError.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/FakeLog.h"
#include "tests/support/PassSteps.h"
#include "tests/support/TempDir.h"
#include "tools/ImageWriter.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

using testing::CapturedOutput;
using testing::FakeLog;
using testing::FakeRecord;
using testing::TempDir;
using tools::CalibrationImage;
using tools::ImageLayout;

using testing::RunPassSteps;

std::string kTargetWarning128() {
  return "Warning - you are tuning for a blm of 128.\nIt is recommended you tune for 118 - 124\n";
}

std::size_t CountLines(const std::string& text, const std::string& start) {
  std::size_t count = 0;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) count += line.starts_with(start) ? 1 : 0;
  return count;
}

std::string Section(const std::string& report, const std::string& from, const std::string& to) {
  const std::size_t begin = report.find(from);
  const std::size_t end = report.find(to, begin);
  return report.substr(begin + from.size(), end - begin - from.size());
}

class CalibrationTest : public ::testing::Test {
 protected:
  std::string WriteImage(const CalibrationImage& image, ImageLayout layout = ImageLayout::kBin,
                         const std::string& name = "") {
    const std::string path =
        dir_.File(name.empty() ? (layout == ImageLayout::kBin ? "car.bin" : "car.lt1") : name);
    tools::WriteFile(path, image.Bytes(layout));
    return path;
  }

  CalibrationImage ReadImage(const std::string& path, ImageLayout layout = ImageLayout::kBin) {
    return CalibrationImage::FromBytes(tools::ReadFile(path), layout);
  }

  // Tunes the image at path from log with a Tunercat or LT1edit; returns the report.
  std::string Tune(const std::string& path, const LoggedData& log, int target, int rpmLimit,
                   ImageLayout layout = ImageLayout::kBin) {
    const std::string report = dir_.File("report.txt");
    std::unique_ptr<PCM> pcm;
    if (layout == ImageLayout::kBin) {
      pcm = std::make_unique<Tunercat>(path, rpmLimit);
    } else {
      pcm = std::make_unique<LT1edit>(path, rpmLimit);
    }
    RunPassSteps(*pcm, log, target, report);
    pcm.reset();
    return tools::ReadFile(report);
  }

  TempDir dir_;
  CapturedOutput output_;
};

// -------------------------------------------------------------- the grid

struct RowsCase {
  int rpmLimit;
  std::size_t rows;
  int lastRowLabel;
};

class ReachableRowsTest : public CalibrationTest, public ::testing::WithParamInterface<RowsCase> {};

TEST_P(ReachableRowsTest, RowsAreTunedWhileTheirUpperEdgeIsBelowTheLimit) {
  const VEGrid grid(GetParam().rpmLimit);
  ASSERT_EQ(grid.veRpmBounds.size() - 1, GetParam().rows);
  EXPECT_EQ(grid.veRpmBounds.front(), 0);
  if (GetParam().rows > 0) {
    EXPECT_EQ(grid.veRpmAxis[GetParam().rows - 1], GetParam().lastRowLabel);
    EXPECT_LT(grid.veRpmBounds.back(), GetParam().rpmLimit);
  }
}

INSTANTIATE_TEST_SUITE_P(Limits, ReachableRowsTest,
                         ::testing::Values(RowsCase{-5, 0, 0}, RowsCase{500, 0, 0},
                                           RowsCase{501, 1, 400}, RowsCase{2100, 8, 1800},
                                           RowsCase{2101, 9, 2000}, RowsCase{3000, 13, 2800},
                                           RowsCase{3900, 17, 3600}, RowsCase{4000, 18, 3800},
                                           RowsCase{4250, 18, 3800}, RowsCase{4251, 19, 4000},
                                           RowsCase{7000, 24, 6500}));

TEST(VEGridTest, ColumnsHaveEighteenEdgesHalfwayBetweenLabels) {
  const VEGrid grid(3000);
  std::vector<float> expected{0.0f};
  for (float edge = 22.5f; edge < 100.0f; edge += 5.0f) expected.push_back(edge);
  expected.push_back(104.0f);
  EXPECT_EQ(grid.veKpaBounds, expected);
  EXPECT_EQ(grid.veKpaBounds.size(), 18u);
  EXPECT_EQ(grid.veRpmBounds[1], 500);
  EXPECT_EQ(grid.veRpmBounds[9], 2100);
}

// A record counts in the band whose lower edge is the last at or below its
// rpm or MAP. Checked at every edge, on both sides of it, and far outside.
TEST(VEGridTest, RecordsFallInTheBandOfTheLastEdgeAtOrBelowThem) {
  const VEGrid grid(1 << 20);  // every row edge
  const std::vector<std::int32_t>& rows = grid.veRpmBounds;
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(VEGrid::kRows));
  auto expectedRow = [&](std::int64_t rpm) {
    return static_cast<int>(std::upper_bound(rows.begin(), rows.end(), rpm) - rows.begin()) - 1;
  };
  for (std::int32_t rpm = -300; rpm <= 8000; ++rpm) {
    ASSERT_EQ(VEGrid::RowOf(rpm), expectedRow(rpm)) << rpm;
  }
  for (const std::int32_t rpm : {INT32_MIN, INT32_MAX, 1 << 20}) {
    EXPECT_EQ(VEGrid::RowOf(rpm), expectedRow(rpm)) << rpm;
  }

  // The top bound (104 kPa) closes no column: the top column is open upward.
  const std::vector<float> columns(grid.veKpaBounds.begin(), grid.veKpaBounds.end() - 1);
  ASSERT_EQ(columns.size(), static_cast<std::size_t>(VEGrid::kColumns));
  auto expectedColumn = [&](float map) {
    if (std::isnan(map)) return -1;
    return static_cast<int>(std::upper_bound(columns.begin(), columns.end(), map) -
                            columns.begin()) -
           1;
  };
  std::vector<float> maps{-1.0f,
                          -0.0f,
                          104.0f,
                          1e30f,
                          std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(),
                          std::numeric_limits<float>::quiet_NaN()};
  for (const float edge : columns) {
    float below = edge;
    float above = edge;
    for (int step = 0; step < 4; ++step) {
      below = std::nextafter(below, -1e9f);
      above = std::nextafter(above, 1e9f);
      maps.insert(maps.end(), {below, above});
    }
    maps.push_back(edge);
  }
  for (float map = 0.0f; map < 110.0f; map += 0.01f) maps.push_back(map);
  for (const float map : maps) EXPECT_EQ(VEGrid::ColumnOf(map), expectedColumn(map)) << map;

  // Every float between the first and the last inner edge, where the column
  // is computed rather than compared.
  for (float map = 22.5f; map <= 97.5f; map = std::nextafter(map, 1e9f)) {
    if (VEGrid::ColumnOf(map) != expectedColumn(map)) {
      ADD_FAILURE() << "ColumnOf(" << map << ") gives " << VEGrid::ColumnOf(map) << ", expected "
                    << expectedColumn(map);
      break;
    }
  }
}

// ---------------------------------------------------- construction lines

std::string ConstructionLines(const std::string& className, const std::string& path) {
  std::string text = "LT1_obd1:  constructor\n" + className + ":  constructor\n" + className +
                     ":  reading FT Cell boundaries from " + path +
                     "\n"
                     "Fuel trim rpm bnds:  0 1200 2000 2800 7000 \n"
                     "Fuel trim map bnds:  0 40 60 80 104 \n"
                     "Constructing fuel trim table:\n";
  const char* maps[] = {"0", "40", "60", "80", "104"};
  const char* rpms[] = {"0", "1200", "2000", "2800", "7000"};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      text += "Creating fuel trim cell " + std::to_string(i * 4 + j) + ":  [" + maps[i] + ", " +
              maps[i + 1] + "][" + rpms[j] + ", " + rpms[j + 1] + "]\n";
    }
  }
  return text;
}

TEST_F(CalibrationTest, BothFormatsReadTheBoundariesAtTheirOwnOffset) {
  CalibrationImage image;
  image.SetBoundaryBytes({48, 80, 112, 40, 60, 80});
  const std::string bin = WriteImage(image, ImageLayout::kBin);
  const std::string lt1 = WriteImage(image, ImageLayout::kLt1);
  { Tunercat pcm(bin, 3000); }
  EXPECT_EQ(output_.Stdout(), ConstructionLines("Tunercat", bin) +
                                  "Tunercat:  destructing\nLT1_obd1:  destructing\n"
                                  "PCM:  destructing\n");
  output_.Clear();
  { LT1edit pcm(lt1, 3000); }
  EXPECT_EQ(output_.Stdout(), ConstructionLines("LT1edit", lt1) +
                                  "LT1edit:  destructing\nLT1_obd1:  destructing\n"
                                  "PCM:  destructing\n");
}

TEST_F(CalibrationTest, BoundaryBytesAreUsedUnchecked) {
  CalibrationImage image;
  image.SetBoundaryBytes({0, 255, 100, 255, 0, 104});
  Tunercat pcm(WriteImage(image), 3000);
  EXPECT_NE(output_.Stdout().find("Fuel trim rpm bnds:  0 0 6375 2500 7000 \n"
                                  "Fuel trim map bnds:  0 255 0 104 104 \n"),
            std::string::npos);
}

TEST_F(CalibrationTest, ImageThatCannotBeOpenedIsReportedAndThrown) {
  for (const std::string& path : {dir_.File("missing.bin"), dir_.path()}) {
    output_.Clear();
    try {
      Tunercat pcm(path, 3000);
      FAIL() << "no error for " << path;
    } catch (const TrimwrightError& e) {
      EXPECT_EQ(std::string(e.what()), "Unable to open file " + path);
      EXPECT_EQ(e.status(), ExitStatus::kFileOrMemory);
    }
    EXPECT_EQ(output_.Stdout(), "LT1_obd1:  constructor\nLT1_obd1:  Unable to open file " + path +
                                    "\nPCM:  destructing\n");
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.File("missing.bin")));
}

// ------------------------------------------------------------ single cells

// A planner over the default image's fuel trim boundaries, whose cells the
// tests fill.
class ModifyVECellTest : public ::testing::Test {
 protected:
  ModifyVECellTest() { output_.Clear(); }

  std::string Line(std::uint8_t oldValue, int row, int column, int target, std::uint8_t expectedNew,
                   bool expectedOverflow) {
    const VECellPlan cell = planner_.ModifyVECell(oldValue, row, column, target, PassLimits{});
    EXPECT_EQ(cell.newValue, expectedNew);
    EXPECT_EQ(cell.overflow, expectedOverflow);
    // The cell's line, as the report of a pass that rewrites only this cell
    // holds it.
    PassPlan plan;
    plan.veScale = 0.390588f;
    plan.tunedCells = {cell};
    const std::string report = ReportText(plan);
    const std::size_t start = report.find("cell[");
    return report.substr(start, report.find('\n', start) + 1 - start);
  }

  CapturedOutput output_;
  FuelTrimTable table_{{0, 1200, 2000, 2800, 7000}, {0.0f, 40.0f, 60.0f, 80.0f, 104.0f}};
  FuelTrimCell idle_;
  RecordSorter sorter_;
  VEGrid grid_{3000};
  VEPlanner planner_{Tunercat::kLayout, grid_, table_, idle_, sorter_, Diagnostics::Standard()};
};

// VE row 3 (1000 rpm, 900 to 1100) and column 5 (45 kPa, 42.5 to 47.5) lie
// inside fuel trim cell 4 (40 to 60 kPa, 0 to 1200 rpm).
TEST_F(ModifyVECellTest, ScalesTheOldValueAndReportsThreeDigits) {
  table_.Cell(4).AddRecord(1000, 45.0f, 130, 126);
  EXPECT_EQ(Line(100, 3, 5, 128, 102, false), "cell[1000][45]\t39.1\t1.02\t39.8\t\n");
  EXPECT_EQ(output_.Stdout(), kTargetWarning128());
}

TEST_F(ModifyVECellTest, KeepsOldValueOnOverflow) {
  table_.Cell(4).AddRecord(1000, 45.0f, 103, 103);  // 1.03 at target 100
  EXPECT_EQ(Line(250, 3, 5, 100, 250, true), "cell[1000][45]\t97.6\t1.03\t(*)\t\n");
  EXPECT_NE(
      output_.Stdout().find(
          "Warning!  VE cell [1000][45] = 100.381 (value out of bounds) - Using old value.\n"),
      std::string::npos);
}

TEST_F(ModifyVECellTest, HalfwayValuesRoundUp) {
  table_.Cell(4).AddRecord(1000, 45.0f, 60, 60);  // 0.5 at target 120
  EXPECT_EQ(Line(3, 3, 5, 120, 2, false), "cell[1000][45]\t1.17\t0.5\t0.781\t\n");
}

TEST_F(ModifyVECellTest, IdleCellFactorIsAveragedIn) {
  // VE row 2 (800 rpm, 700 to 900), column 3 (35 kPa, 32.5 to 37.5): inside
  // fuel trim cell 0 and inside the idle cell's 30 to 40 kPa, 600 to 1000 rpm.
  table_.Cell(0).AddRecord(800, 35.0f, 102, 102);
  idle_.AddRecord(600, 30.0f, 98, 98);
  idle_.AddRecord(1000, 40.0f, 98, 98);
  idle_.RangesFromRecords();
  EXPECT_EQ(Line(120, 2, 3, 100, 120, false),
            "cell[800][35]\t46.9\t1.02\t0.98\t1\t46.9\tIdle cell\n");
  // Column 4 (37.5 to 42.5 kPa) reaches beyond the idle cell.
  EXPECT_EQ(Line(120, 2, 4, 100, 121, false).find("Idle cell"), std::string::npos);
}

TEST_F(ModifyVECellTest, InfiniteFactorCountsAsOverflow) {
  table_.Cell(4).AddRecord(1000, 45.0f, 130, 120);
  EXPECT_EQ(Line(100, 3, 5, 0, 100, true), "cell[1000][45]\t39.1\tinf\t(*)\t\n");
  EXPECT_EQ(Line(0, 3, 5, 0, 0, true), "cell[1000][45]\t0\tinf\t(*)\t\n");
}

TEST(SwapBytes16Test, ExchangesTheTwoBytes) {
  std::uint16_t word = 0x1234;
  VEPlanner::SwapBytes16(word);
  EXPECT_EQ(word, 0x3412);
  VEPlanner::SwapBytes16(word);
  EXPECT_EQ(word, 0x1234);
}

// ------------------------------------------------------------- whole runs

// Row 0 (400 rpm) alone is reachable with a limit of 700; a VE byte of 0 stays
// 0 under any finite factor, so only the cells set here can change.
CalibrationImage RowZeroImage(std::uint8_t lowMapCell, std::uint8_t highMapCell,
                              std::uint16_t checksum) {
  CalibrationImage image;
  for (int column = 0; column < CalibrationImage::kColumns; ++column) image.MainVe(0, column) = 0;
  image.MainVe(0, 0) = lowMapCell;    // 0 to 22.5 kPa: fuel trim cell 0
  image.MainVe(0, 16) = highMapCell;  // 97.5 to 104 kPa: fuel trim cell 12
  image.SetStoredChecksum(checksum);
  return image;
}

// Factors 1.015625 in fuel trim cell 0 and 0.9765625 in cell 12 at target 128.
const FakeLog& RowZeroLog() {
  static const FakeLog log{{.blmLeft = 130, .blmRight = 126, .blmCell = 0},
                           {.blmLeft = 125, .blmRight = 125, .blmCell = 12}};
  return log;
}

TEST_F(CalibrationTest, ChecksumMovesByEveryByteChange) {
  const std::string path = WriteImage(RowZeroImage(100, 50, 0x1234));
  Tune(path, RowZeroLog(), 128, 700);
  const CalibrationImage after = ReadImage(path);
  EXPECT_EQ(after.MainVe(0, 0), 102);
  EXPECT_EQ(after.MainVe(0, 16), 49);
  EXPECT_EQ(after.At(CalibrationImage::kChecksum), 0x12);
  EXPECT_EQ(after.At(CalibrationImage::kChecksum + 1), 0x35);
}

TEST_F(CalibrationTest, ChecksumWrapsModulo65536) {
  const std::string path = WriteImage(RowZeroImage(100, 0, 0xFFFF));
  Tune(path, RowZeroLog(), 128, 700);
  EXPECT_EQ(ReadImage(path).StoredChecksum(), 0x0001);
}

TEST_F(CalibrationTest, LogWithoutUsableRecordsRewritesEveryByteUnchanged) {
  const CalibrationImage before;
  const std::string path = WriteImage(before);
  const std::string report = Tune(path, FakeLog(), 124, 3000);
  EXPECT_EQ(tools::ReadFile(path), before.Bytes(ImageLayout::kBin));
  EXPECT_EQ(CountLines(report, "cell["), 153u + 85u);
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("cell[")) continue;
    std::istringstream fields(line);
    std::string label, oldVe, factor, newVe;
    fields >> label >> oldVe >> factor >> newVe;
    EXPECT_EQ(factor, "1") << line;
    EXPECT_EQ(newVe, oldVe) << line;
  }
  EXPECT_EQ(report.find("Idle cell"), std::string::npos);
  EXPECT_EQ(report.find("(*)"), std::string::npos);
  EXPECT_TRUE(report.ends_with("16:\t0\tmap: 0 - 0, rpm: 0 - 0\n\n")) << report;
}

struct SectionCase {
  int rpmLimit;
  std::size_t mainLines;
  std::size_t extendedLines;
};

class ReportSectionsTest : public CalibrationTest,
                           public ::testing::WithParamInterface<SectionCase> {};

TEST_P(ReportSectionsTest, TunesTheRowsTheLimitReaches) {
  const std::string path = WriteImage(CalibrationImage());
  FakeLog log;
  for (int cell = 0; cell < 16; ++cell) log.Add({.blmLeft = 140, .blmRight = 136, .blmCell = cell});
  const std::string report = Tune(path, log, 124, GetParam().rpmLimit);
  const std::string main =
      Section(report, "\nVE table modifications:\n", "\nExtended VE Table modifications:\n");
  const std::string extended =
      Section(report, "\nExtended VE Table modifications:\n", "\n\n\n ******** Fuel trim");
  EXPECT_EQ(CountLines(main, "cell["), GetParam().mainLines);
  EXPECT_EQ(CountLines(extended, "cell["), GetParam().extendedLines);

  // Rows beyond the limit keep their bytes, in both tables.
  const CalibrationImage before;
  const CalibrationImage after = ReadImage(path);
  const std::size_t mainRows = GetParam().mainLines / 17;
  const std::size_t extendedRows = GetParam().extendedLines / 17;
  for (int row = 0; row < CalibrationImage::kMainRows; ++row) {
    const bool tuned = static_cast<std::size_t>(row) < mainRows;
    EXPECT_EQ(after.MainVe(row, 6) != before.MainVe(row, 6), tuned) << "main row " << row;
  }
  for (int row = 0; row < CalibrationImage::kExtendedRows; ++row) {
    const bool tuned = static_cast<std::size_t>(row) < extendedRows;
    EXPECT_EQ(after.ExtendedVe(row, 6) != before.ExtendedVe(row, 6), tuned) << "ext row " << row;
  }
  if (extendedRows > 0) {
    EXPECT_TRUE(extended.starts_with("cell[2000][20]\t")) << extended.substr(0, 40);
  }
}

INSTANTIATE_TEST_SUITE_P(Limits, ReportSectionsTest,
                         ::testing::Values(SectionCase{7000, 153, 272}, SectionCase{3000, 153, 85},
                                           SectionCase{2101, 153, 17}, SectionCase{2100, 136, 0},
                                           SectionCase{900, 34, 0}, SectionCase{500, 0, 0}));

TEST_F(CalibrationTest, BinAndLt1GiveTheSameReportAndBytesOneHalfApart) {
  CalibrationImage image;
  FakeLog log;
  for (int cell = 0; cell < 16; ++cell) {
    log.Add(
        {.rpm = 700 + 50 * cell, .blmLeft = 118 + cell, .blmRight = 140 - cell, .blmCell = cell});
  }
  log.Add({.rpm = 650, .map = 30.0f, .blmLeft = 131, .blmRight = 133, .blmCell = 16});
  log.Add({.rpm = 900, .map = 40.0f, .blmLeft = 135, .blmRight = 132, .blmCell = 16});
  const std::string bin = WriteImage(image, ImageLayout::kBin);
  const std::string lt1 = WriteImage(image, ImageLayout::kLt1);
  const std::string binReport = Tune(bin, log, 122, 7000, ImageLayout::kBin);
  const std::string lt1Report = Tune(lt1, log, 122, 7000, ImageLayout::kLt1);
  EXPECT_EQ(binReport, lt1Report);
  EXPECT_NE(binReport.find("Idle cell"), std::string::npos);

  const std::string binAfter = tools::ReadFile(bin);
  const std::string lt1After = tools::ReadFile(lt1);
  const std::string binBefore = image.Bytes(ImageLayout::kBin);
  std::size_t changed = 0;
  for (std::size_t k = 0; k < CalibrationImage::kSize; ++k) {
    ASSERT_EQ(binAfter[k], lt1After[k ^ CalibrationImage::kHalf]) << "offset " << k;
    if (binAfter[k] != binBefore[k]) {
      ++changed;
      const bool inVeTables = k >= CalibrationImage::kMainVe && k < 0x12D9A;
      const bool inChecksum =
          k == CalibrationImage::kChecksum || k == CalibrationImage::kChecksum + 1;
      EXPECT_TRUE(inVeTables || inChecksum) << "offset " << k;
      EXPECT_FALSE(k >= 0x12C87 && k <= 0x12C89) << "between the tables, offset " << k;
    }
  }
  EXPECT_GT(changed, 200u);
  EXPECT_EQ(ReadImage(bin).StoredChecksum(), ReadImage(bin).ComputedChecksum());
}

TEST_F(CalibrationTest, SecondRunStartsFromTheFirstRunsValues) {
  const std::string path = WriteImage(CalibrationImage());
  FakeLog log;
  log.Add({.blmLeft = 136, .blmRight = 134, .blmCell = 5});
  const std::string first = Tune(path, log, 124, 3000);
  const CalibrationImage once = ReadImage(path);
  const std::string second = Tune(path, log, 124, 3000);
  const CalibrationImage twice = ReadImage(path);
  // Fuel trim cell 5 covers 40 to 60 kPa and 1200 to 2000 rpm: VE row 6
  // (1600 rpm), column 6 (50 kPa) lies inside it.
  const double cellFactor = 136.0f / 124.0f;
  const int original = CalibrationImage().MainVe(6, 6);
  EXPECT_EQ(once.MainVe(6, 6), static_cast<int>(original * cellFactor + 0.5));
  EXPECT_EQ(twice.MainVe(6, 6), static_cast<int>(once.MainVe(6, 6) * cellFactor + 0.5));
  EXPECT_GT(twice.MainVe(6, 6), once.MainVe(6, 6));
  const std::string firstLine = first.substr(first.find("cell[1600][50]"));
  const std::string secondLine = second.substr(second.find("cell[1600][50]"));
  std::istringstream a(firstLine.substr(0, firstLine.find('\n')));
  std::istringstream b(secondLine.substr(0, secondLine.find('\n')));
  std::string label, oldVe, factor, newVe, label2, oldVe2;
  a >> label >> oldVe >> factor >> newVe;
  b >> label2 >> oldVe2;
  EXPECT_EQ(oldVe2, newVe);
  EXPECT_EQ(twice.StoredChecksum(), twice.ComputedChecksum());
}

TEST_F(CalibrationTest, APassWritesItsFirstLinesInOrder) {
  const std::string path = WriteImage(CalibrationImage(), ImageLayout::kLt1);
  LT1edit pcm(path, 3000);
  FakeLog log;
  output_.Clear();
  RunPassSteps(pcm, log, 124, dir_.File("report.txt"));
  EXPECT_EQ(output_.Stdout(), "LT1edit:  OptimizeVETable\nLT1_obd1:  OptimizeVETable\n");
}

// ------------------------------------------------------------- failures

TEST_F(CalibrationTest, ImageTooShortForTheRunIsRefusedBeforeAnyByteIsRead) {
  std::string bytes = CalibrationImage().Bytes(ImageLayout::kBin);
  bytes.resize(0x12D99);  // one byte short of the last extended cell at 7000 rpm
  const std::string path = dir_.File("short.bin");
  tools::WriteFile(path, bytes);
  try {
    Tunercat pcm(path, 7000);
    FAIL() << "short image accepted";
  } catch (const TrimwrightError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Image file " + path + " is 77209 bytes long, but this run needs 77210 bytes");
  }
  EXPECT_EQ(output_.Stdout().find("Fuel trim"), std::string::npos);
  EXPECT_EQ(tools::ReadFile(path), bytes);
  // A limit that stops below the last row needs fewer bytes.
  Tunercat pcm(path, 6750);
}

TEST_F(CalibrationTest, ReportThatCannotBeCreatedLeavesTheImageUnchanged) {
  const CalibrationImage before;
  const std::string path = WriteImage(before);
  FakeLog log;
  log.Add({.blmLeft = 140, .blmRight = 140, .blmCell = 5});
  for (const std::string& report : {dir_.File("no/such/folder/report.txt"), dir_.path()}) {
    output_.Clear();
    Tunercat pcm(path, 3000);
    EXPECT_THROW(RunPassSteps(pcm, log, 124, report), TrimwrightError);
    EXPECT_EQ(output_.Stderr(), "Unable to open logfile " + report + "\n");
  }
  EXPECT_EQ(tools::ReadFile(path), before.Bytes(ImageLayout::kBin));
}

TEST_F(CalibrationTest, ReportThatFailsToWriteLeavesTheImageUnchanged) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this machine";
  const CalibrationImage before;
  const std::string path = WriteImage(before);
  FakeLog log;
  log.Add({.blmLeft = 140, .blmRight = 140, .blmCell = 5});
  Tunercat pcm(path, 3000);
  try {
    RunPassSteps(pcm, log, 124, "/dev/full");
    FAIL() << "a full disk went unnoticed";
  } catch (const TrimwrightError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Unable to write logfile /dev/full; the calibration image was not changed");
  }
  EXPECT_EQ(output_.Stderr(),
            "Unable to write logfile /dev/full; the calibration image was not changed\n");
  EXPECT_EQ(tools::ReadFile(path), before.Bytes(ImageLayout::kBin));
}

TEST_F(CalibrationTest, SecondRunOnTheSameImageIsRefusedWhileTheFirstHoldsIt) {
  const std::string path = WriteImage(CalibrationImage());
  Tunercat first(path, 3000);
  try {
    Tunercat second(path, 3000);
    FAIL() << "two runs on one image";
  } catch (const TrimwrightError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Unable to lock file " + path + ": another run is tuning this image");
  }
  FakeLog log;
  RunPassSteps(first, log, 124, dir_.File("report.txt"));
}

}  // namespace
}  // namespace trimwright
