// A tuning session over several passes, through trimwright-cli: VE cells
// locked beside the image keep their bytes pass after pass until unlocked,
// the total limit holds every cell near its baseline, and what cannot be used
// (a bad range, a damaged locks file, a baseline of another layout or size)
// is refused with nothing written. In this process: a failed write keeps the
// old locks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/CellLocks.h"
#include "app/TuningRun.h"
#include "common/DiskFile.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/Process.h"
#include "tests/support/QuietWindow.h"
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

const std::string kCli = TRIMWRIGHT_CLI_PATH;
const std::string kExamples = TRIMWRIGHT_EXAMPLES_DIR;

// The VE bytes a pass reaches at 3000 rpm, by grid row and column: the main
// table's rows, then the extended table's from 2000 rpm.
struct VeByte {
  int rpm;
  int kpa;
  int value;
};
std::vector<VeByte> TunedBytes(const std::string& bytes) {
  const CalibrationImage image = CalibrationImage::FromBytes(bytes, ImageLayout::kBin);
  std::vector<VeByte> ve;
  for (int column = 0; column < CalibrationImage::kColumns; ++column) {
    for (int row = 0; row < CalibrationImage::kMainRows; ++row) {
      ve.push_back(
          {tools::GridRowRpm(row), tools::GridColumnKpa(column), image.MainVe(row, column)});
    }
    for (int row = 0; row < 5; ++row) {
      ve.push_back({tools::GridRowRpm(row + 8), tools::GridColumnKpa(column),
                    image.ExtendedVe(row, column)});
    }
  }
  return ve;
}

// The cells locked first, 1600 and 1800 rpm by 50 to 60 kPa; the second pass
// adds the 2000 rpm row's three.
bool LockedFirst(const VeByte& cell) {
  return cell.rpm >= 1600 && cell.rpm <= 1800 && cell.kpa >= 50 && cell.kpa <= 60;
}
bool LockedSecond(const VeByte& cell) {
  return cell.rpm == 2000 && cell.kpa >= 50 && cell.kpa <= 60;
}

class LocksTest : public ::testing::Test {
 protected:
  LocksTest() : first_(tools::ReadFile(kExamples + "/sample.bin")) {
    tools::WriteFile(image_, first_);
  }

  static ProcessResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), kCli);
    return RunProcess(args);
  }
  std::string Image() const { return tools::ReadFile(image_); }

  // A simulated drive over the image as it stands, as a tuner drives after
  // flashing it.
  std::string Drive(std::uint32_t seed) {
    std::vector<tools::UniRecord> records;
    const CalibrationImage now = CalibrationImage::FromBytes(Image(), ImageLayout::kBin);
    for (const tools::LogSample& s : tools::SimulateDrive(now, seed, 3000)) {
      records.push_back(tools::UniRecord::From(s));
    }
    const std::string path = dir_.File("drive" + std::to_string(seed) + ".uni");
    tools::WriteFile(path, tools::UniLog(records));
    return path;
  }

  // Passes on drive seed, with options; the run.
  ProcessResult Pass(std::uint32_t seed, std::vector<std::string> options = {}) {
    options.insert(options.begin(), "-q");
    options.push_back(Drive(seed));
    options.push_back(image_);
    return Cli(options);
  }

  TempDir dir_;
  const std::string image_ = dir_.File("car.bin");
  const std::string first_;
};

// Locked alone, then three passes (the second also locking by itself, the
// third a dry run first): the locked block keeps its bytes while the rest of
// the table moves, the grid, report, JSON and history say so, and once
// unlocked the next pass tunes it.
TEST_F(LocksTest, LockedCellsKeepTheirBytesThroughThreePasses) {
  const ProcessResult locked = Cli({"--lock", "1600-1800:50-60", image_});
  ASSERT_EQ(locked.exitStatus, 0) << locked.err;
  EXPECT_EQ(locked.out,
            "6 VE cell(s) of " + image_ +
                " locked (no pass changes them):\n  1600 rpm: 50 55 60 kPa\n  1800 rpm: 50 55 60 "
                "kPa\n");
  EXPECT_TRUE(Image() == first_);

  ASSERT_EQ(Pass(1).exitStatus, 0);
  const std::vector<VeByte> afterFirst = TunedBytes(Image());
  const ProcessResult second = Pass(2, {"--lock", "2000:50-60", "--max-change", "5", "--grid"});
  ASSERT_EQ(second.exitStatus, 0) << second.err;
  EXPECT_NE(second.err.find("L locked: the byte stays"), std::string::npos);
  // The rows of 1600 to 2000 rpm carry an L at 50, 55 and 60 kPa each.
  int marks = 0;
  for (std::size_t at = 0; (at = second.err.find("     L", at)) != std::string::npos; ++at) ++marks;
  EXPECT_EQ(marks, 9) << second.err;
  EXPECT_NE(second.err.find("     L     L     L  "), std::string::npos);

  // A dry run with a lock shows it and stores nothing.
  const ProcessResult dry = Pass(3, {"--dry-run", "--lock", "400:20", "--json", "-"});
  ASSERT_EQ(dry.exitStatus, 0) << dry.err;
  const auto json = nlohmann::json::parse(dry.out);
  EXPECT_EQ(json["limits"]["locks"].size(), 10u);
  EXPECT_EQ(json["limits"]["locks"][0], (nlohmann::json{{"rpm", 400}, {"kpa", 20}}));
  // Both copies of the 2000 rpm row are held.
  EXPECT_EQ(json["limits"]["locked_cells"].size(), 13u);
  ASSERT_EQ(Pass(3).exitStatus, 0);
  const std::string report = tools::ReadFile(dir_.File("car_trw.txt"));
  EXPECT_NE(report.find("Locked: 9 VE cell(s) of the image (1600 rpm: 50 55 60 kPa; 1800 rpm: 50 "
                        "55 60 kPa; 2000 rpm: 50 55 60 kPa)\nHeld back by the locks: 12 VE "
                        "cell(s) keep their bytes, factor found\n\tcell[1600][50]\t"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("\tcell[2000][60] (extended)\t"), std::string::npos);

  const std::vector<VeByte> before = TunedBytes(first_);
  const std::vector<VeByte> after = TunedBytes(Image());
  int moved = 0;
  for (std::size_t k = 0; k < before.size(); ++k) {
    const std::string cell = std::to_string(before[k].rpm) + "/" + std::to_string(before[k].kpa);
    if (LockedFirst(before[k])) {
      EXPECT_EQ(after[k].value, before[k].value) << cell;
    } else if (LockedSecond(before[k])) {
      EXPECT_EQ(after[k].value, afterFirst[k].value) << cell;
    } else {
      moved += after[k].value != before[k].value ? 1 : 0;
    }
  }
  EXPECT_GT(moved, 100);

  const std::string history = Cli({"--history", image_}).out;
  EXPECT_NE(history.find("    limits: largest change 5% per pass\n    locks: 9 VE cell(s) held "
                         "(1600 rpm: 50 55 60 kPa; 1800 rpm: 50 55 60 kPa; 2000 rpm: 50 55 60 "
                         "kPa)\n"),
            std::string::npos)
      << history;
  EXPECT_NE(history.find("    limits: none\n    locks: 6 VE cell(s) held"), std::string::npos);

  const ProcessResult unlocked = Cli({"--unlock", "400-7000:20-100", image_});
  ASSERT_EQ(unlocked.exitStatus, 0) << unlocked.err;
  EXPECT_EQ(Cli({"--locks", image_}).out, "No VE cell of " + image_ + " is locked\n");
  // The first drive, logged over the first image, asks for more fuel there.
  const std::vector<VeByte> tuned = TunedBytes(Image());
  ASSERT_EQ(Cli({"-q", dir_.File("drive1.uni"), image_}).exitStatus, 0);
  const std::vector<VeByte> free = TunedBytes(Image());
  int lockedMoved = 0;
  for (std::size_t k = 0; k < free.size(); ++k) {
    lockedMoved += LockedFirst(free[k]) && free[k].value != tuned[k].value ? 1 : 0;
  }
  EXPECT_GT(lockedMoved, 0);
}

// Three passes, each on a new drive over the image as the last one left it,
// none further than 5 % from the first image in any cell, and the limit
// reached; the same drives without it take cells further.
TEST_F(LocksTest, TotalLimitHoldsEveryCellNearTheFirstImage) {
  auto furthest = [&] {
    double percent = 0.0;
    const std::vector<VeByte> base = TunedBytes(first_);
    const std::vector<VeByte> now = TunedBytes(Image());
    for (std::size_t k = 0; k < base.size(); ++k) {
      percent = std::max(percent, std::abs(now[k].value - base[k].value) * 100.0 / base[k].value);
    }
    return percent;
  };
  for (std::uint32_t seed = 1; seed <= 3; ++seed) ASSERT_EQ(Pass(seed).exitStatus, 0);
  ASSERT_GT(furthest(), 5.0);

  tools::WriteFile(image_, first_);
  std::filesystem::remove_all(image_ + ".history");
  int capped = 0;
  for (std::uint32_t seed = 1; seed <= 3; ++seed) {
    const std::string json = dir_.File("pass.json");
    ASSERT_EQ(Pass(seed, {"--max-total-change", "5", "--json", json}).exitStatus, 0);
    const auto plan = nlohmann::json::parse(tools::ReadFile(json));
    EXPECT_EQ(plan["limits"]["max_total_change_percent"], 5.0);
    capped += static_cast<int>(plan["limits"]["total_capped_cells"].size());
    EXPECT_LE(furthest(), 5.0) << "pass " << seed;
    const std::string baseline = seed == 1 ? image_ + " itself (its history holds no pass yet)"
                                           : "the image before entry #1 of its history (";
    EXPECT_EQ(plan["limits"]["baseline"].get<std::string>().rfind(baseline, 0), 0u);
  }
  EXPECT_GT(capped, 0);
  EXPECT_EQ(furthest(), 5.0);
  const std::string report = tools::ReadFile(dir_.File("car_trw.txt"));
  EXPECT_NE(report.find("Largest total change: 5% from the baseline, the image before entry #1"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("Capped by the total: "), std::string::npos);
}

// The total limit on the byte, from a baseline file whose byte of VE cell
// 1600 rpm, 50 kPa is 120: within 5 % the byte may lie from 114 to 126. A
// cell already outside that band may move back toward it but no further
// away. Fuel trim cell 5 holds the VE cell; trims of 140 ask for +13 %, of
// 110 for -11 %.
struct TotalEdge {
  int old;
  int blm;
  int written;
};

class TotalEdgeTest : public LocksTest, public ::testing::WithParamInterface<TotalEdge> {};

TEST_P(TotalEdgeTest, ByteEndsWithinTheBandAroundTheBaseline) {
  CalibrationImage image = tools::MakeSampleImage();
  image.MainVe(6, 6) = 120;
  image.MakeChecksumConsistent();
  const std::string baseline = dir_.File("stock.bin");
  tools::WriteFile(baseline, image.Bytes(ImageLayout::kBin));
  image.MainVe(6, 6) = static_cast<std::uint8_t>(GetParam().old);
  image.MakeChecksumConsistent();
  tools::WriteFile(image_, image.Bytes(ImageLayout::kBin));
  tools::LogSample sample;
  sample.blmLeft = sample.blmRight = GetParam().blm;
  const std::string log = dir_.File("cell5.csv");
  tools::WriteFile(log, tools::FreescanLog(std::vector<tools::FreescanRecord>(
                            4, tools::FreescanRecord::From(sample))));

  const ProcessResult run = Cli({"--max-total-change", "5", "--baseline", baseline, "--json", "-",
                                 "--no-history", log, image_});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const CalibrationImage tuned = CalibrationImage::FromBytes(Image(), ImageLayout::kBin);
  EXPECT_EQ(tuned.MainVe(6, 6), GetParam().written);
  EXPECT_EQ(tuned.StoredChecksum(), tuned.ComputedChecksum());
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["limits"]["baseline"], baseline);
  const auto& capped = json["limits"]["total_capped_cells"];
  EXPECT_NE(std::find_if(capped.begin(), capped.end(),
                         [](const auto& cell) {
                           return cell["rpm"] == 1600 && cell["kpa"] == 50 &&
                                  cell["baseline"] == 120;
                         }),
            capped.end());
}

INSTANTIATE_TEST_SUITE_P(Bands, TotalEdgeTest,
                         ::testing::Values(TotalEdge{124, 140, 126}, TotalEdge{126, 140, 126},
                                           TotalEdge{130, 140, 130}, TotalEdge{116, 110, 114},
                                           TotalEdge{108, 110, 108}),
                         [](const ::testing::TestParamInfo<TotalEdge>& tested) {
                           return "Old" + std::to_string(tested.param.old) + "Blm" +
                                  std::to_string(tested.param.blm);
                         });

// Locks beside each cap on the sample drive, whose factors at 1200 to 1400
// rpm, 50 to 60 kPa go past both caps: a locked cell keeps its byte and is
// never counted capped; the cells marked capped are those the report counts
// and, under the total, those the limits list, in the plan written and the
// one the history keeps; the history counts the plan's changed cells. Then
// --unlock in a pass with logs tunes those cells and stores it.
TEST_F(LocksTest, LockedCellsAreNeverCappedAndTheHistoryCountsThePlan) {
  const std::string json = dir_.File("plan.json");
  const std::string log = kExamples + "/sample.uni";
  for (const std::string limit : {"--max-change", "--max-total-change"}) {
    tools::WriteFile(image_, first_);
    std::filesystem::remove_all(image_ + ".history");
    ASSERT_EQ(Cli({"--lock", "1200-1400:50-60", image_}).exitStatus, 0);
    ASSERT_EQ(Cli({"-q", limit, "1", "--json", json, log, image_}).exitStatus, 0);
    const std::string entry = image_ + ".history/000001-";
    std::string stored;
    for (const auto& e : std::filesystem::directory_iterator(image_ + ".history")) {
      if (e.path().string().rfind(entry, 0) == 0) stored = e.path().string() + "/pass.json";
    }
    for (const std::string& path : {json, stored}) {
      const auto plan = nlohmann::json::parse(tools::ReadFile(path));
      // By row, column and table: the 2000 rpm row stands in both tables.
      using Cell = std::tuple<int, int, std::string>;
      const auto key = [](const nlohmann::json& cell) {
        return Cell{cell["rpm"].get<int>(), cell["kpa"].get<int>(), cell["table"]};
      };
      std::set<Cell> capped;
      std::set<Cell> listed;
      int locked = 0;
      for (const auto& cells : {plan["ve_cells"], plan["extended_row_2000"]}) {
        for (const auto& cell : cells) {
          if (cell["capped"].get<bool>()) capped.insert(key(cell));
          const auto [rpm, kpa, table] = key(cell);
          if ((rpm != 1200 && rpm != 1400) || kpa < 50 || kpa > 60) continue;
          ++locked;
          EXPECT_FALSE(cell["capped"].get<bool>()) << limit << " " << rpm << ":" << kpa;
          EXPECT_EQ(cell["new"], cell["old"]);
        }
      }
      EXPECT_EQ(locked, 6);
      for (const auto& cell : plan["limits"]["total_capped_cells"]) listed.insert(key(cell));
      EXPECT_FALSE(capped.empty()) << limit;
      // Under the cap per pass nothing is capped by the total.
      EXPECT_EQ(capped, limit == "--max-total-change" ? listed : capped) << path;
      EXPECT_EQ(listed.empty(), limit == "--max-change") << path;
      const std::string counted = limit == "--max-change" ? "Capped: " : "Capped by the total: ";
      EXPECT_NE(tools::ReadFile(dir_.File("car_trw.txt"))
                    .find(counted + std::to_string(capped.size()) + " VE cell(s)"),
                std::string::npos)
          << limit;
    }
    const int changed = nlohmann::json::parse(tools::ReadFile(json))["cells_changed"];
    EXPECT_NE(
        Cli({"--history", image_}).out.find(", " + std::to_string(changed) + " cells changed\n"),
        std::string::npos);
    EXPECT_EQ(nlohmann::json::parse(
                  Cli({"--history", "--json", "-", image_}).out)["passes"][0]["cells_changed"],
              changed);
  }
  ASSERT_EQ(Cli({"-q", "--unlock", "1200:50-60", "--json", json, log, image_}).exitStatus, 0);
  const auto plan = nlohmann::json::parse(tools::ReadFile(json));
  EXPECT_EQ(plan["limits"]["locked_cells"].size(), 3u);
  for (const auto& cell : plan["ve_cells"]) {
    if (cell["rpm"] == 1200 && cell["kpa"] >= 50 && cell["kpa"] <= 60) {
      EXPECT_NE(cell["new"], cell["old"]) << cell["kpa"];
    }
  }
  EXPECT_EQ(Cli({"--locks", image_}).out, "3 VE cell(s) of " + image_ +
                                              " locked (no pass changes them):\n  1400 rpm: 50 "
                                              "55 60 kPa\n");
}

// What cannot be used is refused before anything is read or written: no
// image byte, report, history entry or locks file.
struct Refused {
  std::vector<std::string> options;
  int status;
  std::string message;
  bool withLog = true;
};

void PrintTo(const Refused& refused, std::ostream* out) {
  for (const std::string& option : refused.options) *out << option << " ";
}

class RefusedTest : public LocksTest, public ::testing::WithParamInterface<Refused> {};

TEST_P(RefusedTest, NothingIsWritten) {
  CalibrationImage other = tools::MakeSampleImage();
  tools::WriteFile(dir_.File("other.lt1"), other.Bytes(ImageLayout::kLt1));
  tools::WriteFile(dir_.File("short.bin"), first_.substr(0, first_.size() - 1));
  std::vector<std::string> args;
  for (const std::string& option : GetParam().options) {
    args.push_back(option.rfind("@", 0) == 0 ? dir_.File(option.substr(1)) : option);
  }
  if (GetParam().withLog) args.push_back(Drive(1));
  args.push_back(image_);
  const ProcessResult run = Cli(args);
  EXPECT_EQ(run.exitStatus, GetParam().status) << run.err;
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
  EXPECT_TRUE(Image() == first_);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("car_trw.txt")));
  EXPECT_FALSE(std::filesystem::exists(image_ + ".history"));
}

const char kRange[] = "needs RPM_LO-RPM_HI:KPA_LO-KPA_HI";

INSTANTIATE_TEST_SUITE_P(
    Inputs, RefusedTest,
    ::testing::Values(
        Refused{{"--lock", "1200"}, 2, std::string("--lock: ") + kRange},
        Refused{{"--lock", "1600-1200:50"}, 2, kRange, false},
        Refused{{"--unlock", "1200:60-50"}, 2, std::string("--unlock: ") + kRange},
        Refused{{"--lock", "1250-1350:50"}, 2, "'1250-1350:50' holds no VE cell", false},
        Refused{{"--lock", "1200:50", "--unlock", "1200-1400:50"},
                2,
                "--lock and --unlock both name the VE cell 1200 rpm, 50 kPa"},
        Refused{{"--lock", "1200:50", "--dry-run"},
                2,
                "--dry-run does not go with --lock or --unlock without a LOGFILE",
                false},
        Refused{{"--baseline", "@other.lt1"}, 2, "--baseline goes with --max-total-change only"},
        Refused{{"--max-total-change", "0"}, 2, "--max-total-change: needs a percentage above 0"},
        Refused{{"--max-total-change", "5", "--baseline", "@other.lt1"},
                2,
                "other.lt1 is a .lt1 image and "},
        Refused{{"--max-total-change", "5", "--baseline", "@short.bin", "--ignore-checksum"},
                3,
                "short.bin is 131071 bytes long and the image "},
        Refused{{"--max-total-change", "5", "--baseline", "@short.bin"},
                3,
                "short.bin is not a sound calibration: it is 131071 bytes long"},
        Refused{
            {"--max-total-change", "5", "--baseline", "@gone.bin"}, 3, "Unable to open file "}));

TEST_F(LocksTest, LockWithoutAnImageIsAUsageError) {
  const ProcessResult run = Cli({"--lock", "1200:50"});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_NE(run.err.find("--lock and --unlock need the IMAGE whose cells they lock"),
            std::string::npos)
      << run.err;
}

// A locks file that cannot be read whole is an error, never "no locks": no
// pass runs, no lock is added, and the listing says why.
TEST_F(LocksTest, DamagedLocksFileRefusesEveryPass) {
  ASSERT_EQ(Cli({"--lock", "1200:50-55", image_}).exitStatus, 0);
  const std::string path = image_ + ".history/locks.txt";
  const std::string whole = tools::ReadFile(path);
  const std::string drive = Drive(1);
  const std::size_t cell = whole.find("\ncell=") + 1;
  const std::string cellLost = whole.substr(0, cell) + whole.substr(whole.find('\n', cell) + 1);
  for (const std::string& damaged :
       {whole.substr(0, whole.rfind("cells=")), whole + "cell=1200:60\n", cellLost,
        std::string("version=1\ncell=1250:50\ncells=1\n")}) {
    tools::WriteFile(path, damaged);
    for (const std::vector<std::string>& args : {std::vector<std::string>{drive, image_},
                                                 {"--dry-run", drive, image_},
                                                 {"--locks", image_},
                                                 {"--lock", "400:20", image_}}) {
      std::vector<std::string> command = args;
      const ProcessResult run = Cli(command);
      EXPECT_EQ(run.exitStatus, 3) << args.front();
      EXPECT_NE(run.err.find("The locks file " + path + " is damaged ("), std::string::npos)
          << run.err;
    }
    EXPECT_TRUE(Image() == first_);
    EXPECT_EQ(tools::ReadFile(path), damaged);
  }
}

// The locks file lives among the history's entries and is never one: with
// only locks the history is empty and nothing is left to undo, and trimming
// keeps it. A write that fails, or a kill that left a temporary file behind,
// leaves the old locks in force.
TEST_F(LocksTest, LocksSurviveTheHistoryAndFailedWrites) {
  ASSERT_EQ(Cli({"--lock", "1200:50", image_}).exitStatus, 0);
  EXPECT_NE(Cli({"--history", image_}).out.find("No passes recorded for"), std::string::npos);
  EXPECT_EQ(Cli({"--undo", image_}).exitStatus, 1);
  const std::string listed =
      "1 VE cell(s) of " + image_ + " locked (no pass changes them):\n" + "  1200 rpm: 50 kPa\n";
  for (std::uint32_t seed = 1; seed <= 2; ++seed) {
    ASSERT_EQ(Pass(seed, {"--keep-history", "1"}).exitStatus, 0);
  }
  EXPECT_EQ(Cli({"--locks", image_}).out, listed);
  // The locks belong to the file, whatever link reaches it.
  std::filesystem::create_symlink(image_, dir_.File("link.bin"));
  EXPECT_NE(Cli({"--locks", dir_.File("link.bin")}).out.find("  1200 rpm: 50 kPa\n"),
            std::string::npos);

  // A folder in the way of the temporary file: the write fails, the pass
  // that would store a lock is refused whole.
  const std::string pending = image_ + ".history/locks.txt.pending";
  std::filesystem::create_directory(pending);
  tools::WriteFile(pending + "/in-the-way", "");
  const std::string before = Image();
  const ProcessResult refused = Cli({"--lock", "1400:50", image_});
  EXPECT_EQ(refused.exitStatus, 3);
  EXPECT_NE(refused.err.find("Unable to write file " + pending.substr(0, pending.size() - 8)),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(Pass(3, {"--lock", "1400:50"}).exitStatus, 3);
  EXPECT_TRUE(Image() == before);
  EXPECT_EQ(Cli({"--locks", image_}).out, listed);

  // What a kill leaves: a temporary file, half written. The old locks hold;
  // the next write replaces both.
  std::filesystem::remove_all(pending);
  tools::WriteFile(pending, "version=1\ncell=14");
  EXPECT_EQ(Cli({"--locks", image_}).out, listed);
  ASSERT_EQ(Cli({"--lock", "1400:50", image_}).exitStatus, 0);
  EXPECT_FALSE(std::filesystem::exists(pending));
  EXPECT_NE(Cli({"--locks", image_}).out.find("  1400 rpm: 50 kPa\n"), std::string::npos);
}

// A pass whose image write fails puts the locks it was to store back as they
// were; they are synced under their temporary name before they replace the
// old ones.
TEST_F(LocksTest, PassThatFailsKeepsTheOldLocks) {
  testing::CapturedOutput quiet;
  ASSERT_EQ(CellLocks::Change(image_, {{1200, 50}}, {}), (std::vector<GridCell>{{1200, 50}}));
  testing::FaultyFileSystem fileSystem;
  fileSystem.FailEvery("write", image_);
  testing::QuietWindow window;
  RunRequest request =
      RunRequest::ForOneLog(Drive(1), image_, dir_.File("car_trw.txt"), "124", "3000");
  request.lockCells = {{1400, 50}};
  EXPECT_THROW(TuningRun(window, Diagnostics::Standard(), fileSystem).Perform(request),
               TrimwrightError);
  std::vector<std::string> synced;
  for (const auto& op : fileSystem.Succeeded("sync")) synced.push_back(op.path);
  EXPECT_EQ(CellLocks::Read(image_), (std::vector<GridCell>{{1200, 50}}));
  const std::string pending = CellLocks::PathFor(image_) + ".pending";
  EXPECT_EQ(std::count(synced.begin(), synced.end(), pending), 2) << "stored, then put back";
  EXPECT_FALSE(std::filesystem::exists(pending));
}

}  // namespace
}  // namespace trimwright
