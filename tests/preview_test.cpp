// A pass seen before it is written: a dry run prints what the real pass
// prints and changes nothing, the plan as JSON agrees with the bytes the real
// pass writes, the grid view, and the image's lock taken before any log is
// read: which runs go ahead beside a lock another process holds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/ImageWriter.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

using Json = nlohmann::json;
using testing::ProcessResult;
using testing::RunProcess;
using testing::TempDir;

const std::string kCli = TRIMWRIGHT_CLI_PATH;
const std::string kExamples = TRIMWRIGHT_EXAMPLES_DIR;

class PreviewTest : public ::testing::Test {
 protected:
  PreviewTest() {
    for (const char* ext : {"bin", "csv"}) {
      tools::WriteFile(dir_.File(std::string("sample.") + ext),
                       tools::ReadFile(kExamples + "/sample." + ext));
    }
  }

  ProcessResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), kCli);
    return RunProcess(args);
  }

  std::string Image() const { return tools::ReadFile(dir_.File("sample.bin")); }

  TempDir dir_;
};

TEST_F(PreviewTest, DryRunPrintsWhatTheRealPassPrintsAndPlansItsBytes) {
  const std::string before = Image();
  const std::vector<std::string> inputs{"--rpm-limit", "7000", dir_.File("sample.csv"),
                                        dir_.File("sample.bin")};
  std::vector<std::string> dry{"--dry-run", "--json", dir_.File("dry.json")};
  dry.insert(dry.end(), inputs.begin(), inputs.end());
  const ProcessResult preview = Cli(dry);
  ASSERT_EQ(preview.exitStatus, 0) << preview.err;
  EXPECT_EQ(Image(), before);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("sample_trw.txt")));

  std::vector<std::string> real{"--json", dir_.File("real.json")};
  real.insert(real.end(), inputs.begin(), inputs.end());
  const ProcessResult pass = Cli(real);
  ASSERT_EQ(pass.exitStatus, 0) << pass.err;
  EXPECT_EQ(preview.out, pass.out);
  EXPECT_NE(Image(), before);

  Json planned = Json::parse(tools::ReadFile(dir_.File("dry.json")));
  Json written = Json::parse(tools::ReadFile(dir_.File("real.json")));
  EXPECT_TRUE(planned["dry_run"].get<bool>());
  EXPECT_FALSE(written["dry_run"].get<bool>());
  planned.erase("dry_run");
  written.erase("dry_run");
  EXPECT_EQ(planned, written);

  // Every byte the plan gives as new is in the image now, and the plan's
  // checksum is the image's.
  const std::string after = Image();
  int changed = 0;
  for (const Json& cell : written["ve_cells"]) {
    if (!cell["tuned"].get<bool>()) continue;
    const auto offset = cell["offset"].get<std::size_t>();
    EXPECT_EQ(static_cast<unsigned char>(after[offset]), cell["new"].get<int>()) << cell.dump();
    changed += cell["new"] != cell["old"] ? 1 : 0;
  }
  EXPECT_GT(changed, 0);
  const auto stored = static_cast<int>((static_cast<unsigned char>(after[0x12015]) << 8) |
                                       static_cast<unsigned char>(after[0x12016]));
  EXPECT_EQ(written["checksum"]["new"].get<int>(), stored);

  // A dry run with a named report writes that report and still not the image.
  const ProcessResult reported = Cli({"--dry-run", "--report", dir_.File("preview.txt"),
                                      dir_.File("sample.csv"), dir_.File("sample.bin")});
  EXPECT_EQ(reported.exitStatus, 0);
  EXPECT_NE(tools::ReadFile(dir_.File("preview.txt")).find("VE table modifications"),
            std::string::npos);
  EXPECT_EQ(Image(), after);
}

TEST_F(PreviewTest, JsonOnStandardOutputIsTheWholeGridAndNothingElse) {
  const ProcessResult result =
      Cli({"--dry-run", "--grid", "--json", "-", dir_.File("sample.csv"), dir_.File("sample.bin")});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const Json plan = Json::parse(result.out);  // throws if anything else is there
  EXPECT_EQ(plan["version"], 1);
  EXPECT_EQ(plan["target_blm"], 124);
  EXPECT_EQ(plan["rpm_limit"], 3000);
  EXPECT_EQ(plan["log"], dir_.File("sample.csv"));
  EXPECT_EQ(plan["image"], dir_.File("sample.bin"));
  ASSERT_EQ(plan["ve_cells"].size(), 425u);
  ASSERT_EQ(plan["trim_cells"].size(), 17u);
  EXPECT_EQ(plan["trim_cells"][16]["number"], 16);

  // Rows ascend by rpm and columns by kPa; rows beyond the limit carry no
  // factor but still their hits. Every record the table used is a hit and
  // every record the idle cell used an idle hit, so that the cells account
  // for every record used, as record_fates does.
  std::uint64_t hits = 0;
  std::uint64_t idleHits = 0;
  for (std::size_t k = 0; k < 425; ++k) {
    const Json& cell = plan["ve_cells"][k];
    EXPECT_EQ(cell["kpa"], 20 + 5 * static_cast<int>(k % 17));
    EXPECT_EQ(cell["tuned"], cell["rpm"].get<int>() <= 2800);
    EXPECT_EQ(cell["factor"].is_null(), !cell["tuned"].get<bool>());
    hits += cell["hits"].get<std::uint64_t>();
    idleHits += cell["idle_hits"].get<std::uint64_t>();
  }
  EXPECT_EQ(plan["ve_cells"][12 * 17]["rpm"], 2800);
  EXPECT_EQ(hits, plan["records_used"].get<std::uint64_t>());
  EXPECT_GT(hits, 0u);
  EXPECT_EQ(idleHits, plan["trim_cells"][16]["records"].get<std::uint64_t>());
  EXPECT_EQ(idleHits, plan["record_fates"]["used"]["16"].get<std::uint64_t>());
  EXPECT_GT(idleHits, 0u);
  // The idle cell's records of the sample lie at 800 rpm, 35 kPa among
  // others; the cell's factor is blended with the idle cell's.
  const Json& idle = plan["ve_cells"][2 * 17 + 3];
  ASSERT_EQ(idle["rpm"], 800);
  ASSERT_EQ(idle["kpa"], 35);
  EXPECT_EQ(idle["hits"], 0);
  EXPECT_GT(idle["idle_hits"], 0);
  EXPECT_FALSE(idle["idle_factor"].is_null());

  // Records the second trim window leaves out are no hits, and cells beyond
  // the rpm limit keep their idle records.
  for (const std::vector<std::string>& options :
       std::vector<std::vector<std::string>>{{"--aux-window", "128-128"}, {"--rpm-limit", "600"}}) {
    std::vector<std::string> args{"--dry-run", "--json", "-"};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {dir_.File("sample.csv"), dir_.File("sample.bin")});
    const ProcessResult limited = Cli(args);
    ASSERT_EQ(limited.exitStatus, 0) << limited.err;
    const Json json = Json::parse(limited.out);
    std::uint64_t limitedHits = 0;
    std::uint64_t limitedIdle = 0;
    for (const Json& cell : json["ve_cells"]) {
      limitedHits += cell["hits"].get<std::uint64_t>();
      limitedIdle += cell["idle_hits"].get<std::uint64_t>();
    }
    EXPECT_EQ(limitedHits, json["records_used"].get<std::uint64_t>()) << options[0];
    EXPECT_EQ(limitedIdle, json["trim_cells"][16]["records"].get<std::uint64_t>()) << options[0];
    EXPECT_GT(limitedIdle, 0u) << options[0];
  }

  // The diagnostic lines and the grid went to standard error.
  EXPECT_NE(result.err.find("LT1_obd1:  OptimizeVETable"), std::string::npos);
  EXPECT_NE(result.err.find("VE change in percent"), std::string::npos);
  EXPECT_NE(result.err.find("(not tuned)"), std::string::npos);
}

TEST_F(PreviewTest, SecondRunIsRefusedBeforeItReadsItsLog) {
  const int held = open(dir_.File("sample.bin").c_str(), O_RDWR);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);  // a first run in the middle of its pass
  const auto start = std::chrono::steady_clock::now();
  const ProcessResult second = Cli({dir_.File("sample.csv"), dir_.File("sample.bin")});
  const auto took = std::chrono::steady_clock::now() - start;
  // A dry run is refused too rather than read an image that may be written.
  const ProcessResult dry = Cli({"--dry-run", dir_.File("sample.csv"), dir_.File("sample.bin")});
  close(held);
  EXPECT_EQ(dry.exitStatus, 3);
  EXPECT_EQ(dry.out, "");
  EXPECT_EQ(second.exitStatus, 3);
  EXPECT_EQ(second.out, "");  // not a line of the log reader
  EXPECT_EQ(second.err, "trimwright-cli: error: Unable to lock file " + dir_.File("sample.bin") +
                            ": another run is tuning this image\n");
  EXPECT_LT(took, std::chrono::seconds(1));
  EXPECT_EQ(Image(), tools::ReadFile(kExamples + "/sample.bin"));
}

// A run started while another process holds a lock on the image: a shared
// lock (a dry run or a listing reading it) lets readers through and keeps out
// whatever writes; the exclusive lock (a pass writing it) keeps out everyone.
// "LOG" and "IMAGE" stand for the sample's paths.
struct HeldLock {
  const char* name;
  int lock;  // LOCK_SH or LOCK_EX
  std::vector<std::string> args;
  int status;
};

class HeldLockTest : public PreviewTest, public ::testing::WithParamInterface<HeldLock> {};

TEST_P(HeldLockTest, RunGoesAheadOnlyWhereTheLocksShare) {
  std::vector<std::string> args = GetParam().args;
  for (std::string& arg : args) {
    if (arg == "LOG") arg = dir_.File("sample.csv");
    if (arg == "IMAGE") arg = dir_.File("sample.bin");
  }
  const int held = open(dir_.File("sample.bin").c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, GetParam().lock | LOCK_NB), 0);
  const ProcessResult run = Cli(args);
  close(held);
  EXPECT_EQ(run.exitStatus, GetParam().status) << run.err;
  if (GetParam().status == 3) {
    EXPECT_NE(run.err.find("Unable to lock file " + dir_.File("sample.bin") +
                           ": another run is tuning this image"),
              std::string::npos)
        << run.err;
  }
  EXPECT_EQ(Image(), tools::ReadFile(kExamples + "/sample.bin"));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("sample.bin.history")));
}

INSTANTIATE_TEST_SUITE_P(
    Locks, HeldLockTest,
    ::testing::Values(HeldLock{"PassBesideShared", LOCK_SH, {"LOG", "IMAGE"}, 3},
                      HeldLock{"DryRunBesideShared", LOCK_SH, {"--dry-run", "LOG", "IMAGE"}, 0},
                      HeldLock{"ListingBesideShared", LOCK_SH, {"--history", "IMAGE"}, 0},
                      HeldLock{"UndoBesideShared", LOCK_SH, {"--undo", "IMAGE"}, 3},
                      HeldLock{"DryRunBesideExclusive", LOCK_EX, {"--dry-run", "LOG", "IMAGE"}, 3},
                      HeldLock{"ListingBesideExclusive", LOCK_EX, {"--history", "IMAGE"}, 3}),
    [](const ::testing::TestParamInfo<HeldLock>& tested) {
      return std::string(tested.param.name);
    });

// The 2000 rpm row lies in both VE tables. The grid and ve_cells show the main
// table's copy (its byte, its offset, its overflow); extended_row_2000 shows
// the extended table's. Here the main copy overflows and the extended one
// does not, and no other cell overflows.
TEST_F(PreviewTest, The2000RpmRowIsTheMainTablesCopyAndTheExtendedOneIsApart) {
  tools::CalibrationImage image;
  image.MainVe(8, 6) = 250;
  image.ExtendedVe(0, 6) = 100;
  image.MakeChecksumConsistent();
  tools::WriteFile(dir_.File("car.bin"), image.Bytes(tools::ImageLayout::kBin));
  // Lean on both sides of the 2000 rpm boundary at 50 kPa: cells 5 and 6.
  tools::UniRecord lean;
  lean.blmLeft = lean.blmRight = 150;
  std::vector<tools::UniRecord> records(8, lean);
  for (std::size_t k = 4; k < records.size(); ++k) {
    records[k].rpmCounts = 96;  // 2400 rpm
    records[k].blmCell = 6;
  }
  tools::WriteFile(dir_.File("lean.uni"), tools::UniLog(records));

  const ProcessResult result =
      Cli({"--dry-run", "--grid", "--json", "-", dir_.File("lean.uni"), dir_.File("car.bin")});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const Json plan = Json::parse(result.out);
  const Json& main = plan["ve_cells"][8 * 17 + 6];
  ASSERT_EQ(main["rpm"], 2000);
  ASSERT_EQ(main["kpa"], 50);
  EXPECT_EQ(main["table"], "main");
  EXPECT_EQ(main["offset"], tools::CalibrationImage::kMainVe + 8 * 17 + 6);
  EXPECT_EQ(main["old"], 250);
  EXPECT_EQ(main["new"], 250);
  EXPECT_TRUE(main["overflow"].get<bool>());
  const Json& extended = plan["extended_row_2000"][6];
  EXPECT_EQ(extended["rpm"], 2000);
  EXPECT_EQ(extended["table"], "extended");
  EXPECT_EQ(extended["offset"], tools::CalibrationImage::kExtendedVe + 6);
  EXPECT_EQ(extended["old"], 100);
  EXPECT_GT(extended["new"].get<int>(), 100);
  EXPECT_FALSE(extended["overflow"].get<bool>());
  EXPECT_TRUE(plan["overflow"].get<bool>());
  int overflowed = 0;
  for (const Json& cell : plan["ve_cells"]) overflowed += cell["overflow"].get<bool>() ? 1 : 0;
  EXPECT_EQ(overflowed, 1);
  for (const Json& cell : plan["extended_row_2000"]) EXPECT_EQ(cell["table"], "extended");

  // The grid's 2000 rpm line: the rpm, then one field per kPa column.
  std::istringstream grid(result.err.substr(result.err.find("VE change in percent")));
  std::string line;
  std::vector<std::string> fields;
  while (std::getline(grid, line)) {
    std::istringstream words(line);
    fields.assign(std::istream_iterator<std::string>(words), {});
    if (!fields.empty() && fields[0] == "2000") break;
  }
  ASSERT_EQ(fields.size(), 18u) << result.err;
  EXPECT_EQ(fields[7], "*");
}

}  // namespace
}  // namespace trimwright
