// Fuel trim cells and the fuel trim table: binning, statistics, adjustment
// factors with their warnings, and the area-weighted factor of a VE cell.
#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "calibration/PassReport.h"
#include "calibration/RecordSample.h"
#include "calibration/RecordSorter.h"
#include "fueltrim/FuelTrimCell.h"
#include "fueltrim/FuelTrimTable.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/FakeLog.h"

namespace trimwright {
namespace {

using testing::CapturedOutput;
using testing::FakeLog;
using testing::FakeRecord;

const char kTargetWarning128[] =
    "Warning - you are tuning for a blm of 128.\nIt is recommended you tune for 118 - 124\n";

void AddBlms(FuelTrimCell& cell, std::vector<std::pair<int, int>> leftRight) {
  for (const auto& [left, right] : leftRight) cell.AddRecord(1000, 50.0f, left, right);
}

std::string Printed(const FuelTrimCell& cell) {
  std::ostringstream out;
  cell.Print(out);
  return out.str();
}

// ------------------------------------------------------------------ cell

TEST(FuelTrimCellTest, LargerBankDecidesAndOtherBankIsWarnedBelow112) {
  CapturedOutput output;
  FuelTrimCell cell;
  AddBlms(cell, {{140, 100}});
  EXPECT_EQ(cell.AdjustmentFactor(128), 1.09375f);
  EXPECT_EQ(output.Stdout(), std::string(kTargetWarning128) +
                                 "Warning:  tuning your left blm to 128 puts your right blm to "
                                 "91.4286\n");
}

TEST(FuelTrimCellTest, NoBankWarningWhenTheOtherBankStaysAbove112) {
  CapturedOutput output;
  FuelTrimCell cell;
  AddBlms(cell, {{130, 126}});
  EXPECT_EQ(cell.AdjustmentFactor(128), 1.015625f);
  EXPECT_EQ(output.Stdout(), kTargetWarning128);
}

TEST(FuelTrimCellTest, RightBankDecidesTies) {
  CapturedOutput output;
  FuelTrimCell cell;
  AddBlms(cell, {{100, 100}});
  EXPECT_EQ(cell.AdjustmentFactor(100), 1.0f);
  EXPECT_EQ(output.Stdout(),
            "Warning - you are tuning for a blm of 100.\nIt is recommended you tune for 118 - 124\n"
            "Warning:  tuning your right blm to 100 puts your left blm to 100\n");
}

TEST(FuelTrimCellTest, RightBankWarnsAboutTheLeft) {
  CapturedOutput output;
  FuelTrimCell cell;
  AddBlms(cell, {{100, 150}});
  EXPECT_EQ(cell.AdjustmentFactor(120), 1.25f);
  EXPECT_EQ(output.Stdout(), "Warning:  tuning your right blm to 120 puts your left blm to 80\n");
}

TEST(FuelTrimCellTest, TargetWarningOnEveryCallOutside118To124) {
  for (const int target : {117, 125, 118, 124}) {
    CapturedOutput output;
    FuelTrimCell empty;
    EXPECT_EQ(empty.AdjustmentFactor(target), 1.0f);
    EXPECT_EQ(empty.AdjustmentFactor(target), 1.0f);
    const std::string once = "Warning - you are tuning for a blm of " + std::to_string(target) +
                             ".\nIt is recommended you tune for 118 - 124\n";
    const bool warns = target < 118 || target > 124;
    EXPECT_EQ(output.Stdout(), warns ? once + once : "") << target;
  }
}

// Records of a second log may come after the first averages were taken.
TEST(FuelTrimCellTest, AveragesFollowRecordsAddedLater) {
  FuelTrimCell cell;
  AddBlms(cell, {{130, 120}, {131, 121}, {135, 125}});
  EXPECT_EQ(cell.AverageLeftBlm(), 132.0f);
  EXPECT_EQ(cell.AverageRightBlm(), static_cast<float>(366.0 / 3.0));
  AddBlms(cell, {{200, 200}});
  EXPECT_EQ(cell.AverageLeftBlm(), 149.0f);
  EXPECT_EQ(cell.RecordCount(), 4);
}

TEST(FuelTrimCellTest, PrintsRangesAndStatistics) {
  FuelTrimCell cell;
  cell.SetNumber(5);
  cell.SetRanges(45.0f, 60.0f, 1400, 2000);
  EXPECT_EQ(Printed(cell), "5:\t0\tmap: 45 - 60, rpm: 1400 - 2000\n\n");
  AddBlms(cell, {{130, 126}, {131, 128}, {135, 129}});
  EXPECT_EQ(Printed(cell),
            "5:\t3\tmap: 45 - 60, rpm: 1400 - 2000\n"
            "\t\t130/132/135\t126/127.667/129\n\n");
}

TEST(FuelTrimCellTest, RangesFromRecordsAreMeanPlusMinusOneDeviation) {
  FuelTrimCell cell;
  cell.AddRecord(800, 40.0f, 128, 128);
  cell.AddRecord(900, 50.0f, 128, 128);
  cell.AddRecord(1000, 60.0f, 128, 128);
  cell.RangesFromRecords();
  EXPECT_EQ(Printed(cell).substr(0, Printed(cell).find('\n')),
            "0:\t3\tmap: 41.835 - 58.165, rpm: 818 - 981");
  EXPECT_TRUE(cell.Encloses(41.9f, 58.1f, 818, 981));
  EXPECT_FALSE(cell.Encloses(41.8f, 58.1f, 818, 981));
  EXPECT_FALSE(cell.Encloses(41.9f, 58.1f, 817, 981));
  EXPECT_FALSE(cell.Encloses(41.9f, 58.2f, 818, 981));
  EXPECT_FALSE(cell.Encloses(41.9f, 58.1f, 818, 982));
}

TEST(FuelTrimCellTest, OneRecordGivesZeroWidthRanges) {
  FuelTrimCell cell;
  cell.AddRecord(750, 33.5f, 128, 128);
  cell.RangesFromRecords();
  EXPECT_TRUE(cell.Encloses(33.5f, 33.5f, 750, 750));
  EXPECT_FALSE(cell.Encloses(33.5f, 33.6f, 750, 750));
}

TEST(FuelTrimCellTest, EmptyCellEnclosesNothingAndPrintsOneLine) {
  FuelTrimCell cell;
  cell.SetNumber(16);
  cell.RangesFromRecords();
  EXPECT_EQ(Printed(cell), "16:\t0\tmap: 0 - 0, rpm: 0 - 0\n\n");
  EXPECT_FALSE(cell.Encloses(0.0f, 22.5f, 0, 500));
}

// ----------------------------------------------------------------- table

class FuelTrimTableTest : public ::testing::Test {
 protected:
  FuelTrimTableTest() : table_({0, 1200, 2000, 2800, 7000}, {0.0f, 40.0f, 60.0f, 80.0f, 104.0f}) {}

  CapturedOutput output_;
  FuelTrimTable table_;
};

TEST_F(FuelTrimTableTest, ConstructionNumbersCellsAcrossRpmBandsFirst) {
  EXPECT_EQ(table_.CellCount(), 16);
  std::istringstream lines(output_.Stdout());
  std::vector<std::string> all;
  for (std::string line; std::getline(lines, line);) all.push_back(line);
  ASSERT_EQ(all.size(), 17u);
  EXPECT_EQ(all[0], "Constructing fuel trim table:");
  EXPECT_EQ(all[1], "Creating fuel trim cell 0:  [0, 40][0, 1200]");
  EXPECT_EQ(all[5], "Creating fuel trim cell 4:  [40, 60][0, 1200]");
  EXPECT_EQ(all[16], "Creating fuel trim cell 15:  [80, 104][2800, 7000]");
  for (int k = 0; k < 16; ++k) EXPECT_EQ(table_.Cell(k).GetNumber(), k);
}

TEST_F(FuelTrimTableTest, SorterBinsWarmPartThrottleRecordsByLoggedCell) {
  FakeLog log;
  log.Add({.rpm = 6000, .map = 20.0f, .blmLeft = 140, .blmCell = 5});  // ranges do not matter
  log.Add({.blmLeft = 141, .blmCell = 5, .highThrottle = true});
  log.Add({.blmLeft = 142, .blmCell = 5, .engineWarm = false});
  log.Add({.blmLeft = 143, .blmCell = 16});
  log.Add({.blmLeft = 144, .blmCell = 18});
  log.Add({.blmLeft = 145, .blmCell = 0});
  log.Add({.blmLeft = 146, .blmCell = 15});
  FuelTrimCell idle;
  idle.SetNumber(16);
  RecordSorter().Add(log, AuxWindow{}, false, table_, idle);
  EXPECT_EQ(idle.RecordCount(), 1);
  EXPECT_EQ(idle.AverageLeftBlm(), 143.0f);
  EXPECT_EQ(table_.Cell(5).RecordCount(), 1);
  EXPECT_EQ(table_.Cell(5).AverageLeftBlm(), 140.0f);
  EXPECT_EQ(table_.Cell(0).RecordCount(), 1);
  EXPECT_EQ(table_.Cell(15).RecordCount(), 1);
  int total = 0;
  for (int k = 0; k < 16; ++k) total += table_.Cell(k).RecordCount();
  EXPECT_EQ(total, 3);
}

// The walk counts each record's fate as it sorts it; the window's sample gives
// every record the same fate one by one: cold first, then no cell (high
// throttle outside the idle cell, or a cell beyond it), then the window.
TEST_F(FuelTrimTableTest, SorterAndSampleGiveEachRecordTheSameFate) {
  using F = RecordFate;
  const std::vector<std::pair<FakeRecord, F>> records = {
      {{.blmCell = 5}, F::kUsed},
      {{.blmCell = 0}, F::kUsed},
      {{.blmCell = 16, .highThrottle = true}, F::kUsed},  // the idle cell at any throttle
      {{.blmCell = 5, .engineWarm = false}, F::kNotWarm},
      {{.blmCell = 18, .engineWarm = false, .highThrottle = true}, F::kNotWarm},
      {{.blmCell = 5, .highThrottle = true}, F::kHighThrottle},
      {{.blmCell = 17, .highThrottle = true}, F::kHighThrottle},
      {{.blmCell = 17}, F::kNoFuelTrimCell},
      {{.blmCell = 16, .auxLeft = 150}, F::kOutsideAuxWindow},
      {{.blmCell = 5, .auxRight = 117}, F::kOutsideAuxWindow},
  };
  FakeLog log;
  for (const auto& [record, fate] : records) log.Add(record);
  const AuxWindow window{118, 138};
  FuelTrimCell idle;
  idle.SetNumber(16);
  const RecordFates fates = RecordSorter().Add(log, window, false, table_, idle);
  EXPECT_EQ(fates.notWarm, 2u);
  EXPECT_EQ(fates.highThrottle, 2u);
  EXPECT_EQ(fates.noFuelTrimCell, 1u);
  EXPECT_EQ(fates.outsideAuxWindow, 2u);
  std::array<std::uint64_t, RecordFates::kUsedCells> used{};
  used[0] = used[5] = used[16] = 1;
  EXPECT_EQ(fates.used, used);

  RecordSample sample(records.size());
  sample.Add(log, window, table_.CellCount(), idle.GetNumber());
  ASSERT_EQ(sample.records().size(), records.size());
  for (std::size_t k = 0; k < records.size(); ++k) {
    EXPECT_EQ(sample.records()[k].fate, records[k].second) << "record " << k;
  }
  EXPECT_EQ(sample.counts(), (RecordSample::FateCounts{3, 2, 2, 2, 1}));
  // All ten lie in the VE cell of 1600 rpm and 50 kPa.
  EXPECT_EQ(sample.CountsIn(VEGrid::RowOf(1600), VEGrid::ColumnOf(50.0f)), sample.counts());

  // Beyond its limit the sample takes every n-th record, the counts all.
  RecordSample thin(records.size(), 3);
  thin.Add(log, window, table_.CellCount(), idle.GetNumber());
  EXPECT_EQ(thin.stride(), 4u);
  ASSERT_EQ(thin.records().size(), 3u);
  EXPECT_EQ(thin.records()[1].fate, records[4].second);
  EXPECT_EQ(thin.counts(), sample.counts());
  EXPECT_EQ(RecordSample(3, 3).stride(), 1u);
  EXPECT_EQ(RecordSample(4, 3).stride(), 2u);
}

TEST_F(FuelTrimTableTest, VeCellInsideOneFuelTrimCellTakesItsFactor) {
  AddBlms(table_.Cell(5), {{132, 120}});
  EXPECT_EQ(table_.FactorForVECell(1200, 2000, 40.0f, 60.0f, 120), 1.1f);
  EXPECT_EQ(table_.FactorForVECell(1300, 1900, 42.5f, 47.5f, 120), 1.1f);
}

TEST_F(FuelTrimTableTest, VeCellAcrossAMapBoundaryIsWeightedByOverlap) {
  AddBlms(table_.Cell(0), {{132, 120}});  // 1.1 below 40 kPa; 1.0 above (empty cell)
  EXPECT_FLOAT_EQ(table_.FactorForVECell(500, 700, 37.5f, 42.5f, 120), 1.05f);
  EXPECT_FLOAT_EQ(table_.FactorForVECell(500, 700, 38.0f, 43.0f, 120), 1.04f);
}

TEST_F(FuelTrimTableTest, VeCellAcrossAnRpmBoundaryIsWeightedByOverlap) {
  AddBlms(table_.Cell(1), {{144, 120}});  // 1.2 above 1200 rpm in the lowest map band
  EXPECT_FLOAT_EQ(table_.FactorForVECell(1100, 1300, 10.0f, 20.0f, 120), 1.1f);
  EXPECT_FLOAT_EQ(table_.FactorForVECell(1150, 1350, 10.0f, 20.0f, 120), 1.15f);
}

TEST(FuelTrimTableCornerTest, VeCellAcrossBothBoundariesIsWeightedByArea) {
  CapturedOutput output;
  FuelTrimTable table({0, 1150, 2000, 2800, 7000}, {0.0f, 40.0f, 60.0f, 80.0f, 104.0f});
  AddBlms(table.Cell(1), {{144, 120}});  // lower map band, upper rpm band
  EXPECT_FLOAT_EQ(table.FactorForVECell(1100, 1300, 37.5f, 42.5f, 120), 1.075f);
}

TEST(FuelTrimTableCornerTest, FactorsOfTheFourCornersAreEvaluatedInFixedOrder) {
  FuelTrimTable table({0, 1150, 2000, 2800, 7000}, {0.0f, 40.0f, 60.0f, 80.0f, 104.0f});
  // Each corner cell warns with its own target-independent bank value.
  AddBlms(table.Cell(0), {{150, 101}});  // (i0, j0)
  AddBlms(table.Cell(1), {{150, 102}});  // (i0, j1)
  AddBlms(table.Cell(4), {{150, 103}});  // (i1, j0)
  AddBlms(table.Cell(5), {{150, 104}});  // (i1, j1)
  CapturedOutput output;
  table.FactorForVECell(1100, 1300, 37.5f, 42.5f, 150);
  const std::string head =
      "Warning - you are tuning for a blm of 150.\n"
      "It is recommended you tune for 118 - 124\n"
      "Warning:  tuning your left blm to 150 puts your right blm to ";
  EXPECT_EQ(output.Stdout(), head + "104\n" + head + "102\n" + head + "103\n" + head + "101\n");
}

TEST_F(FuelTrimTableTest, RectangleWithoutExtentMatchesNoCell) {
  output_.Clear();
  EXPECT_EQ(table_.FactorForVECell(1200, 1200, 45.0f, 50.0f, 120), 1.0f);
  EXPECT_EQ(output_.Stdout(), "No match found for VE Cell [45, 50][1200, 1200\n");
}

TEST_F(FuelTrimTableTest, RectangleOutsideTheOutermostBoundariesMatchesNoCell) {
  output_.Clear();
  EXPECT_EQ(table_.FactorForVECell(6000, 8000, 90.0f, 110.5f, 120), 1.0f);
  EXPECT_EQ(output_.Stdout(), "No match found for VE Cell [90, 110.5][6000, 8000\n");
}

TEST_F(FuelTrimTableTest, EmptyCellsTakePartWithFactorOneAndFullWeight) {
  AddBlms(table_.Cell(4), {{156, 120}});  // 1.3 in 40-60 kPa, nothing in 60-80
  EXPECT_FLOAT_EQ(table_.FactorForVECell(500, 700, 55.0f, 65.0f, 120), 1.15f);
}

TEST_F(FuelTrimTableTest, StatisticsListEveryCellInNumberOrder) {
  AddBlms(table_.Cell(2), {{130, 126}});
  std::vector<TrimCellStats> cells;
  for (int k = 0; k < table_.CellCount(); ++k) cells.push_back(table_.Cell(k).Statistics());
  std::ostringstream out;
  WriteTrimStatistics(out, cells);
  const std::string text = out.str();
  EXPECT_EQ(text.rfind("\n\n\n ******** Fuel trim table statistics ********\n\n"
                       "Cell\t# recs\tmap range\trpm range\n"
                       "\t\tmin LTerm/avg LTerm/max LTerm (left and right)\n\n"
                       "0:\t0\tmap: 0 - 40, rpm: 0 - 1200\n\n"
                       "1:\t0\tmap: 0 - 40, rpm: 1200 - 2000\n\n"
                       "2:\t1\tmap: 0 - 40, rpm: 2000 - 2800\n"
                       "\t\t130/130/130\t126/126/126\n\n",
                       0),
            0u);
  EXPECT_TRUE(text.ends_with("15:\t0\tmap: 80 - 104, rpm: 2800 - 7000\n\n")) << text;
}

}  // namespace
}  // namespace trimwright
