// Several logs in one pass and the opt-in limits, run through trimwright-cli
// on a simulated drive over the sample calibration: what reaches the image,
// the report and the JSON account, and which option values are refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/DriveSimulator.h"
#include "tools/ImageWriter.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

using testing::ProcessResult;
using testing::RunProcess;
using testing::TempDir;
using tools::CalibrationImage;
using tools::ImageLayout;
using tools::LogSample;

const std::string kCli = TRIMWRIGHT_CLI_PATH;
constexpr char kLimitsHeading[] = "******** Limits of this pass ********";

std::string Csv(const std::vector<LogSample>& samples) {
  std::vector<tools::FreescanRecord> records;
  for (const LogSample& s : samples) records.push_back(tools::FreescanRecord::From(s));
  return tools::FreescanLog(records);
}

// Every VE byte of an image, main table then extended table.
std::vector<int> VeBytes(const std::string& bytes) {
  const CalibrationImage image = CalibrationImage::FromBytes(bytes, ImageLayout::kBin);
  std::vector<int> ve;
  for (int column = 0; column < CalibrationImage::kColumns; ++column) {
    for (int row = 0; row < CalibrationImage::kMainRows; ++row) {
      ve.push_back(image.MainVe(row, column));
    }
    for (int row = 0; row < CalibrationImage::kExtendedRows; ++row) {
      ve.push_back(image.ExtendedVe(row, column));
    }
  }
  return ve;
}

// The VE cell of a plan's JSON at rpm and kpa, from the main grid.
const nlohmann::json& VeCell(const nlohmann::json& plan, int rpm, int kpa) {
  for (const nlohmann::json& cell : plan["ve_cells"]) {
    if (cell["rpm"] == rpm && cell["kpa"] == kpa) return cell;
  }
  throw std::runtime_error("no VE cell " + std::to_string(rpm) + "/" + std::to_string(kpa));
}

// n warm records of fuel trim cell 5 (1600 rpm, 50 kPa) with both BLMs at blm.
std::vector<LogSample> Cell5(int n, int blm) {
  LogSample s;
  s.blmLeft = s.blmRight = blm;
  return std::vector<LogSample>(static_cast<std::size_t>(n), s);
}

// n idle records (cell 16) with both BLMs at blm, alternating between 600 rpm
// at 25 kPa and 1000 rpm at 45 kPa: the idle cell then spans 600 to 1000 rpm
// and 25 to 45 kPa and so covers the VE cells of 800 rpm from 30 to 40 kPa,
// which lie in fuel trim cell 0.
std::vector<LogSample> Idle(int n, int blm) {
  std::vector<LogSample> samples;
  for (int k = 0; k < n; ++k) {
    LogSample s;
    s.blmCell = 16;
    s.rpm = k % 2 == 0 ? 600 : 1000;
    s.mapKpa = k % 2 == 0 ? 25.0 : 45.0;
    s.blmLeft = s.blmRight = blm;
    samples.push_back(s);
  }
  return samples;
}

std::vector<LogSample> Joined(std::vector<LogSample> a, const std::vector<LogSample>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class LimitsTest : public ::testing::Test {
 protected:
  LimitsTest()
      : original_(tools::MakeSampleImage().Bytes(ImageLayout::kBin)),
        samples_(tools::SimulateDrive(tools::MakeSampleImage(), 7, 4000)) {}

  // A fresh copy of the sample image named name.bin, and its path.
  std::string Image(const std::string& name) {
    const std::string path = dir_.File(name + ".bin");
    tools::WriteFile(path, original_);
    return path;
  }

  std::string Log(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.File(name);
    tools::WriteFile(path, bytes);
    return path;
  }

  static ProcessResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), kCli);
    return RunProcess(args);
  }

  // Tunes a fresh copy of the image from one csv of samples with options;
  // returns the run, and the report and image bytes it left.
  struct Pass {
    ProcessResult run;
    std::string report;
    std::string image;
  };
  Pass Tune(const std::string& name, const std::vector<LogSample>& samples,
            std::vector<std::string> options = {}) {
    const std::string image = Image(name);
    options.push_back(Log(name + ".csv", Csv(samples)));
    options.push_back(image);
    Pass pass;
    pass.run = Cli(options);
    EXPECT_EQ(pass.run.exitStatus, 0) << pass.run.err;
    pass.report = tools::ReadFile(dir_.File(name + "_trw.txt"));
    pass.image = tools::ReadFile(image);
    return pass;
  }

  TempDir dir_;
  std::string original_;
  std::vector<LogSample> samples_;
};

TEST_F(LimitsTest, SeveralLogsTuneAsOneDrive) {
  const std::size_t half = samples_.size() / 2;
  const std::vector<LogSample> first(samples_.begin(), samples_.begin() + half);
  const std::vector<LogSample> second(samples_.begin() + half, samples_.end());

  const Pass whole = Tune("whole", samples_);
  const std::string split = Image("split");
  const ProcessResult run = Cli({Log("a.csv", Csv(first)), Log("b.csv", Csv(second)), split,
                                 "--json", dir_.File("split.json")});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_NE(whole.image, original_);
  EXPECT_EQ(tools::ReadFile(split), whole.image);
  EXPECT_EQ(tools::ReadFile(dir_.File("split_trw.txt")), whole.report);
  // With no limit set, the report has no limits section.
  EXPECT_EQ(whole.report.find(kLimitsHeading), std::string::npos);
  const auto json = nlohmann::json::parse(tools::ReadFile(dir_.File("split.json")));
  ASSERT_EQ(json["logs"].size(), 2u);
  EXPECT_EQ(json["logs"][0]["records"], half);
  EXPECT_EQ(json["logs"][1]["records"], samples_.size() - half);

  // A binary and a text log of other formats mix in one pass.
  std::vector<tools::UniRecord> uni;
  for (const LogSample& s : first) uni.push_back(tools::UniRecord::From(s));
  std::vector<tools::PCMcommRecord> txt;
  for (const LogSample& s : second) txt.push_back(tools::PCMcommRecord::From(s));
  const std::string mixed = Image("mixed");
  const ProcessResult mix =
      Cli({Log("a.uni", tools::UniLog(uni)), Log("b.txt", tools::PCMcommLog(txt)), mixed});
  EXPECT_EQ(mix.exitStatus, 0) << mix.err;
  EXPECT_EQ(mix.err, "trimwright-cli: Processing complete\n");
  EXPECT_NE(tools::ReadFile(mixed), original_);
}

TEST_F(LimitsTest, MinRecordsAboveEveryCellLeavesTheImageAlone) {
  const Pass held = Tune("held", samples_, {"--min-records", "100000"});
  EXPECT_EQ(held.image, original_);  // every VE byte and the checksum
  EXPECT_NE(held.report.find("Minimum records: 100000 per fuel trim cell"), std::string::npos);
  EXPECT_NE(held.report.find("16 (idle)"), std::string::npos) << held.report;
  // The same drive moves the table without the minimum.
  EXPECT_NE(Tune("free", samples_).image, original_);
}

TEST_F(LimitsTest, MaxChangeCapsEveryVeByte) {
  const std::vector<int> before = VeBytes(original_);
  auto largestMove = [&](const std::string& image) {
    const std::vector<int> after = VeBytes(image);
    double largest = 0.0;
    for (std::size_t k = 0; k < before.size(); ++k) {
      // The cap holds on the byte written, not only on the factor.
      const double excess = std::abs(after[k] - before[k]) * 100.0 - 5.0 * before[k];
      largest = std::max(largest, excess);
    }
    return largest;
  };
  const Pass free = Tune("free", samples_);
  ASSERT_GT(largestMove(free.image), 0.0) << "the drive must move some cell by more than 5%";

  const Pass capped = Tune("capped", samples_, {"--max-change", "5"});
  EXPECT_LE(largestMove(capped.image), 0.0);
  const CalibrationImage image = CalibrationImage::FromBytes(capped.image, ImageLayout::kBin);
  EXPECT_EQ(image.StoredChecksum(), image.ComputedChecksum());
  EXPECT_NE(capped.report.find("Largest change: 5% per pass; a VE cell's factor stays within "
                               "0.95 to 1.05\nCapped: "),
            std::string::npos)
      << capped.report;
  EXPECT_EQ(capped.report.find("Capped: 0 "), std::string::npos);
}

TEST_F(LimitsTest, AuxWindowDropsExactlyTheRecordsOutsideIt) {
  // Every fifth record logged while the fast trim swung.
  std::vector<LogSample> swinging = samples_;
  std::vector<LogSample> steady;
  for (std::size_t k = 0; k < swinging.size(); ++k) {
    if (k % 5 == 0) {
      swinging[k].auxLeft = k % 10 == 0 ? 150 : 100;
    } else {
      steady.push_back(swinging[k]);
    }
  }
  const Pass windowed =
      Tune("windowed", swinging, {"--aux-window", "110-140", "--json", dir_.File("windowed.json")});
  const Pass removed = Tune("removed", steady);
  EXPECT_EQ(windowed.image, removed.image);
  const std::size_t limits = windowed.report.find(kLimitsHeading);
  ASSERT_NE(limits, std::string::npos);
  EXPECT_EQ(removed.report + "\n\n ", windowed.report.substr(0, limits));
  EXPECT_NE(windowed.report.find("Second trim window: 110-140;"), std::string::npos);

  // The account counts the left-out records the table and idle cell would
  // have used, by cell, and they add up.
  const auto json = nlohmann::json::parse(tools::ReadFile(dir_.File("windowed.json")));
  const std::uint32_t filtered = json["limits"]["aux_filtered_records"];
  std::uint32_t byCell = 0;
  for (const auto& cell : json["limits"]["aux_filtered_cells"])
    byCell += cell["records"].get<std::uint32_t>();
  EXPECT_GT(filtered, 0u);
  EXPECT_EQ(byCell, filtered);
  EXPECT_NE(windowed.report.find("Filtered: " + std::to_string(filtered) +
                                 " record(s); by fuel trim cell, cell=records: "),
            std::string::npos);
}

// Three logs of different lengths, one line of the second out of range for
// its reader: each log is listed with the records its reader accepted.
TEST_F(LimitsTest, EachLogIsListedWithItsOwnRecordCount) {
  std::vector<LogSample> second = Cell5(5, 140);
  second[2].rpm = 9000;
  const std::vector<std::string> logs{Log("a.csv", Csv(Cell5(3, 140))), Log("b.csv", Csv(second)),
                                      Log("c.csv", Csv(Idle(7, 130)))};
  const ProcessResult run =
      Cli({"--dry-run", "--json", "-", logs[0], logs[1], logs[2], Image("car")});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["log"], logs[0]);
  ASSERT_EQ(json["logs"].size(), 3u);
  const int accepted[] = {3, 4, 7};
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(json["logs"][k]["path"], logs[k]);
    EXPECT_EQ(json["logs"][k]["records"], accepted[k]) << k;
  }
  EXPECT_EQ(json["trim_cells"][5]["records"], 7);
  EXPECT_EQ(json["trim_cells"][16]["records"], 7);
}

// A cell with exactly the minimum of records moves the table and is not held
// back; one record short of it, it counts as no correction. Fuel trim cell 5
// and the idle cell hold four lean records each.
struct MinRecordsEdge {
  std::string minimum;
  bool heldBack;
};

class MinRecordsEdgeTest : public LimitsTest,
                           public ::testing::WithParamInterface<MinRecordsEdge> {};

TEST_P(MinRecordsEdgeTest, CellWithTheMinimumMovesTheTable) {
  const bool held = GetParam().heldBack;
  const Pass pass =
      Tune("edge", Joined(Cell5(4, 140), Idle(4, 150)),
           {"--no-history", "--min-records", GetParam().minimum, "--json", dir_.File("edge.json")});
  const auto json = nlohmann::json::parse(tools::ReadFile(dir_.File("edge.json")));
  EXPECT_EQ(pass.image == original_, held);
  EXPECT_EQ(VeCell(json, 1600, 50)["factor"] == 1.0, held);
  EXPECT_EQ(VeCell(json, 800, 35)["idle_factor"] == 1.0, held);
  EXPECT_EQ(json["limits"]["held_back_cells"],
            (held ? nlohmann::json{5, 16} : nlohmann::json::array()));
  const std::string line =
      held ? "Held back: 2 fuel trim cell(s): 5, 16 (idle)\n" : "Held back: 0 fuel trim cell(s)\n";
  EXPECT_NE(pass.report.find(line), std::string::npos) << pass.report;
}

INSTANTIATE_TEST_SUITE_P(Edges, MinRecordsEdgeTest,
                         ::testing::Values(MinRecordsEdge{"1", false}, MinRecordsEdge{"4", false},
                                           MinRecordsEdge{"5", true}),
                         [](const ::testing::TestParamInfo<MinRecordsEdge>& tested) {
                           return "Minimum" + tested.param.minimum;
                         });

// The cap holds the factor after the idle blend: the idle cell alone would
// move the 800 rpm cells by 29 %, blended with the empty fuel trim cell by
// 14.5 %, and the cap keeps that at 5 %. The report lists the blend as found.
TEST_F(LimitsTest, MaxChangeCapsTheIdleBlendAsAWhole) {
  const Pass pass = Tune("idle", Idle(4, 160),
                         {"--no-history", "--max-change", "5", "--json", dir_.File("idle.json")});
  const auto json = nlohmann::json::parse(tools::ReadFile(dir_.File("idle.json")));
  const nlohmann::json& cell = VeCell(json, 800, 35);
  EXPECT_EQ(cell["factor"], 1.0);
  EXPECT_FLOAT_EQ(cell["idle_factor"].get<float>(), 160.0f / 124.0f);
  EXPECT_TRUE(cell["capped"].get<bool>());
  EXPECT_EQ(cell["applied_factor"].get<double>(), static_cast<double>(1.05f));
  EXPECT_NE(pass.report.find("\tcell[800][35]\t1.14516 -> 1.05\n"), std::string::npos)
      << pass.report;
}

// The cap holds on the byte written: where rounding the capped factor would
// carry the byte past the cap (126 x 1.02 = 128.52 rounds to 129, +2.4 %), the
// byte is the last one within it, toward the old value; a byte exactly at the
// cap is written as it is. Fuel trim cell 5 holds the VE cell 1600 rpm,
// 50 kPa; its trims of 140 (lean) or 110 (rich) ask for +13 % or -11 %.
struct ByteEdge {
  int old;
  int blm;
  int written;
  int rounded;  // what rounding gave, where it crossed the cap; 0 where not
};

class MaxChangeByteTest : public LimitsTest, public ::testing::WithParamInterface<ByteEdge> {};

TEST_P(MaxChangeByteTest, CappedByteNeverCrossesTheCap) {
  const ByteEdge edge = GetParam();
  CalibrationImage image = tools::MakeSampleImage();
  image.MainVe(6, 6) = static_cast<std::uint8_t>(edge.old);
  image.MakeChecksumConsistent();
  original_ = image.Bytes(ImageLayout::kBin);
  const Pass pass = Tune("edge", Cell5(4, edge.blm),
                         {"--no-history", "--max-change", "2", "--json", dir_.File("edge.json")});
  const CalibrationImage tuned = CalibrationImage::FromBytes(pass.image, ImageLayout::kBin);
  EXPECT_EQ(tuned.MainVe(6, 6), edge.written);
  EXPECT_EQ(tuned.StoredChecksum(), tuned.ComputedChecksum());
  const auto json = nlohmann::json::parse(tools::ReadFile(dir_.File("edge.json")));
  EXPECT_EQ(VeCell(json, 1600, 50)["new"], edge.written);
  EXPECT_TRUE(VeCell(json, 1600, 50)["capped"].get<bool>());
  const std::string rounded = "\tbyte " + std::to_string(edge.old) + " -> " +
                              std::to_string(edge.written) + " (rounding gave " +
                              std::to_string(edge.rounded) + ")\n";
  EXPECT_EQ(pass.report.find(rounded) != std::string::npos, edge.rounded != 0) << pass.report;
}

INSTANTIATE_TEST_SUITE_P(Edges, MaxChangeByteTest,
                         ::testing::Values(ByteEdge{126, 140, 128, 129}, ByteEdge{100, 140, 102, 0},
                                           ByteEdge{50, 140, 51, 0}, ByteEdge{126, 110, 124, 123},
                                           ByteEdge{100, 110, 98, 0}),
                         [](const ::testing::TestParamInfo<ByteEdge>& tested) {
                           return "Old" + std::to_string(tested.param.old) + "Blm" +
                                  std::to_string(tested.param.blm);
                         });

// A record whose second trim values lie on either edge of the window counts;
// one a step outside either edge is filtered. The counts of each kind are
// powers of two, so the totals tell which kind went where.
class AuxWindowEdgeTest : public LimitsTest,
                          public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(AuxWindowEdgeTest, RecordsOnEitherEdgeAreKept) {
  const auto [low, high] = GetParam();
  std::vector<LogSample> samples;
  const auto add = [&](int n, int auxLeft, int auxRight) {
    for (LogSample s : Cell5(n, 140)) {
      s.auxLeft = auxLeft;
      s.auxRight = auxRight;
      samples.push_back(s);
    }
  };
  add(1, low, 128);
  add(2, high, 128);
  add(4, 128, low);
  add(8, 128, high);
  add(16, low - 1, 128);
  add(32, 128, high + 1);
  const std::string window = std::to_string(low) + "-" + std::to_string(high);
  const Pass pass = Tune("aux", samples,
                         {"--no-history", "--aux-window", window, "--json", dir_.File("aux.json")});
  const auto json = nlohmann::json::parse(tools::ReadFile(dir_.File("aux.json")));
  EXPECT_EQ(json["trim_cells"][5]["records"], 15);
  EXPECT_EQ(json["limits"]["aux_filtered_records"], 48);
  EXPECT_NE(pass.report.find("Second trim window: " + window + ";"), std::string::npos);
  EXPECT_NE(pass.report.find("Filtered: 48 record(s); by fuel trim cell, cell=records: 5=48\n"),
            std::string::npos)
      << pass.report;
}

INSTANTIATE_TEST_SUITE_P(Windows, AuxWindowEdgeTest,
                         ::testing::Values(std::pair{120, 136}, std::pair{128, 128}),
                         [](const ::testing::TestParamInfo<std::pair<int, int>>& tested) {
                           return "From" + std::to_string(tested.param.first) + "To" +
                                  std::to_string(tested.param.second);
                         });

struct BadValue {
  std::vector<std::string> option;
  std::string message;
};

class LimitsUsageTest : public LimitsTest, public ::testing::WithParamInterface<BadValue> {};

TEST_P(LimitsUsageTest, BadValueIsAUsageError) {
  std::vector<std::string> args = GetParam().option;
  args.push_back(Log("drive.csv", Csv(samples_)));
  args.push_back(Image("car"));
  const ProcessResult run = Cli(args);
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
  EXPECT_EQ(tools::ReadFile(dir_.File("car.bin")), original_);
}

const char kPercent[] = "--max-change: needs a percentage above 0";
const char kWindow[] = "--aux-window: needs LO-HI, two whole numbers 0 to 255";
const char kRecords[] = "--min-records: needs a whole number of records of at least 1";

INSTANTIATE_TEST_SUITE_P(
    Values, LimitsUsageTest,
    ::testing::Values(
        BadValue{{"--max-change", "-3"}, kPercent},
        BadValue{{"--max-change=-3"},
                 std::string(kPercent) + " such as 5 or 2.5 (no sign or % sign), got '-3'"},
        BadValue{{"--max-change", "0"}, kPercent}, BadValue{{"--max-change", "five"}, kPercent},
        BadValue{{"--max-change", "5%"}, kPercent}, BadValue{{"--max-change", "1e2"}, kPercent},
        BadValue{{"--max-change", "nan"}, kPercent}, BadValue{{"--max-change", "."}, kPercent},
        BadValue{{"--aux-window", "140-120"},
                 std::string(kWindow) + " with LO not above HI (such as 118-138), got '140-120'"},
        BadValue{{"--aux-window", "120"}, kWindow}, BadValue{{"--aux-window", "0-256"}, kWindow},
        BadValue{{"--aux-window", "-5-120"}, kWindow}, BadValue{{"--aux-window", "a-b"}, kWindow},
        BadValue{{"--min-records", "0"}, kRecords}, BadValue{{"--min-records", "2.5"}, kRecords},
        BadValue{{"--min-records", "12abc"}, kRecords},
        BadValue{{"--min-records", "99999999999"}, kRecords}));

// The second trim counts into each bank's trim, clamped at both ends: 120 +
// 140 - 128 = 132, 10 + 100 - 128 = -18 -> 0, 250 + 140 - 128 = 262 -> 255.
TEST_F(LimitsTest, AddSecondTrimCountsTheWholeCorrection) {
  LogSample a;  // fuel trim cell 5
  a.blmLeft = 120;
  a.auxLeft = 140;
  a.blmRight = 10;
  a.auxRight = 100;
  LogSample b = a;  // fuel trim cell 6: 2400 rpm
  b.rpm = 2400;
  b.blmCell = 6;
  b.blmLeft = 250;
  b.auxLeft = 140;
  b.blmRight = 128;
  b.auxRight = 128;
  const std::string json = dir_.File("second.json");
  const Pass added = Tune("second", {a, b}, {"--add-second-trim", "--no-history", "--json", json});
  const auto plan = nlohmann::json::parse(tools::ReadFile(json));
  EXPECT_EQ(plan["trim_cells"][5]["left"]["avg"], 132);
  EXPECT_EQ(plan["trim_cells"][5]["right"]["avg"], 0);
  EXPECT_EQ(plan["trim_cells"][6]["left"]["avg"], 255);
  EXPECT_EQ(plan["trim_cells"][6]["right"]["avg"], 128);
  EXPECT_EQ(plan["limits"]["add_second_trim"], true);
  EXPECT_NE(added.report.find("Second trim added: "), std::string::npos);
  // Without the option the trims are the logged ones.
  const std::string plainJson = dir_.File("plain.json");
  Tune("plain", {a, b}, {"--no-history", "--json", plainJson});
  const auto plain = nlohmann::json::parse(tools::ReadFile(plainJson));
  EXPECT_EQ(plain["trim_cells"][5]["left"]["avg"], 120);
  EXPECT_EQ(plain["limits"]["add_second_trim"], false);
}

// Two fuel trim cells with data side by side along the rpm axis, both centred
// at 50 kPa: cell 5 (1200 to 2000 rpm, centre 1600) and cell 6 (2000 to 2800,
// centre 2400). Smoothed, a VE cell between the centres takes their factors
// weighted by its distance from each, and one at a centre takes that cell's
// factor and byte exactly as the plain pass does.
TEST_F(LimitsTest, SmoothInterpolatesBetweenCellCentres) {
  std::vector<LogSample> samples = Cell5(4, 136);
  for (LogSample s : Cell5(4, 112)) {
    s.rpm = 2400;
    s.blmCell = 6;
    samples.push_back(s);
  }
  const std::string plainJson = dir_.File("plain.json");
  const std::string smoothJson = dir_.File("smooth.json");
  const Pass plain = Tune("plain", samples, {"--no-history", "--json", plainJson});
  const Pass smooth = Tune("smooth", samples, {"--smooth", "--no-history", "--json", smoothJson});
  const auto p = nlohmann::json::parse(tools::ReadFile(plainJson));
  const auto s = nlohmann::json::parse(tools::ReadFile(smoothJson));
  const double f5 = VeCell(p, 1600, 50)["factor"];
  const double f6 = VeCell(p, 2400, 50)["factor"];
  ASSERT_GT(f5, 1.0);
  ASSERT_LT(f6, 1.0);
  EXPECT_EQ(VeCell(s, 1800, 50)["factor"], static_cast<float>(0.75 * f5 + 0.25 * f6));
  EXPECT_EQ(VeCell(s, 2000, 50)["factor"], static_cast<float>(0.5 * f5 + 0.5 * f6));
  EXPECT_EQ(VeCell(s, 2200, 50)["factor"], static_cast<float>(0.25 * f5 + 0.75 * f6));
  for (const int rpm : {1600, 2400}) {
    EXPECT_EQ(VeCell(s, rpm, 50)["factor"], VeCell(p, rpm, 50)["factor"]) << rpm;
    EXPECT_EQ(VeCell(s, rpm, 50)["new"], VeCell(p, rpm, 50)["new"]) << rpm;
  }
  // Halfway between the 50 and the 70 kPa centres, and held beyond the
  // outermost rpm centre (600 rpm) at 400 rpm, where cell 4 (empty) rules.
  EXPECT_EQ(VeCell(s, 1600, 60)["factor"], static_cast<float>(0.5 * f5 + 0.5));
  // Between all four centres around it: cells 5 and 6 below, 9 and 10 (empty)
  // above, each weighted by the area opposite it.
  EXPECT_EQ(VeCell(s, 1800, 60)["factor"],
            static_cast<float>(0.375 * f5 + 0.125 * f6 + 0.375 * 1.0 + 0.125 * 1.0));
  EXPECT_EQ(VeCell(s, 400, 50)["factor"], 1.0);
  EXPECT_EQ(s["limits"]["smooth"], true);
  EXPECT_NE(smooth.report.find("Smoothed: "), std::string::npos);
  EXPECT_NE(smooth.image, plain.image);
}

// Smoothed, a VE cell on the first fuel trim cell's centre (600 rpm, 20
// kPa) takes that cell's factor and byte exactly, as the plain pass does,
// and so does one beyond it (400 rpm); beyond the last centres (4900 rpm,
// 92 kPa) the last cell's factor holds.
TEST_F(LimitsTest, SmoothTakesTheOuterCellsFactorOnAndBeyondItsCentre) {
  std::vector<LogSample> samples = Cell5(4, 136);
  for (LogSample& s : samples) {
    s.rpm = 600;
    s.mapKpa = 20.0;
    s.blmCell = 0;
  }
  for (LogSample s : Cell5(4, 112)) {
    s.rpm = 4900;
    s.mapKpa = 92.0;
    s.blmCell = 15;
    samples.push_back(s);
  }
  const std::vector<std::string> options{"--no-history", "--rpm-limit", "7000", "--json"};
  std::vector<std::string> plainOptions = options;
  plainOptions.push_back(dir_.File("plain.json"));
  std::vector<std::string> smoothOptions = options;
  smoothOptions.insert(smoothOptions.begin(), "--smooth");
  smoothOptions.push_back(dir_.File("smooth.json"));
  Tune("plain", samples, plainOptions);
  Tune("smooth", samples, smoothOptions);
  const auto p = nlohmann::json::parse(tools::ReadFile(dir_.File("plain.json")));
  const auto s = nlohmann::json::parse(tools::ReadFile(dir_.File("smooth.json")));
  const double f0 = VeCell(p, 600, 20)["factor"];
  const double f15 = VeCell(p, 6000, 100)["factor"];
  ASSERT_GT(f0, 1.0);
  ASSERT_LT(f15, 1.0);
  EXPECT_EQ(VeCell(s, 600, 20)["factor"], f0);
  EXPECT_EQ(VeCell(s, 600, 20)["new"], VeCell(p, 600, 20)["new"]);
  EXPECT_EQ(VeCell(s, 400, 20)["factor"], f0);
  EXPECT_EQ(VeCell(s, 6000, 100)["factor"], f15);
  // The record minimum holds for a smoothed factor too: four records are
  // enough for a minimum of 4, not of 5.
  for (const char* minimum : {"4", "5"}) {
    std::vector<std::string> thin = smoothOptions;
    thin.back() = dir_.File(std::string("min") + minimum + ".json");
    thin.insert(thin.begin(), {"--min-records", minimum});
    Tune(std::string("min") + minimum, samples, thin);
    const auto m = nlohmann::json::parse(tools::ReadFile(thin.back()));
    EXPECT_EQ(VeCell(m, 600, 20)["factor"], minimum == std::string("4") ? f0 : 1.0) << minimum;
  }
}

}  // namespace
}  // namespace trimwright
