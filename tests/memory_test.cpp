// The memory of a tuning session (its history, its locks and the baseline of
// its total limit) kept as safely as the image: every write and sync of a
// pass and of an undo failed in turn, a device that fails for good, trimming
// cut short, the baseline through trimming, one file reached by several
// names, and a report put back after a kill.
#include <gtest/gtest.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/CellLocks.h"
#include "app/DurableFolder.h"
#include "app/HistoryCommands.h"
#include "app/PassHistory.h"
#include "app/TuningRun.h"
#include "calibration/CellRange.h"
#include "common/Sha256.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/Process.h"
#include "tests/support/QuietWindow.h"
#include "tests/support/TempDir.h"
#include "tools/DriveSimulator.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using testing::FaultyFileSystem;
using testing::ProcessResult;

const std::string kCli = TRIMWRIGHT_CLI_PATH;
const std::string kExamples = TRIMWRIGHT_EXAMPLES_DIR;

class MemoryTest : public ::testing::Test {
 protected:
  MemoryTest() : original_(tools::ReadFile(kExamples + "/sample.bin")) {
    tools::WriteFile(image_, original_);
  }

  ProcessResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), kCli);
    return testing::RunProcess(args);
  }
  std::string Image() const { return tools::ReadFile(image_); }

  // A simulated drive over the image as it stands.
  std::string Drive(std::uint32_t seed) {
    const auto image = tools::CalibrationImage::FromBytes(Image(), tools::ImageLayout::kBin);
    std::vector<tools::UniRecord> records;
    for (const tools::LogSample& s : tools::SimulateDrive(image, seed, 1500)) {
      records.push_back(tools::UniRecord::From(s));
    }
    const std::string log = dir_.File("drive" + std::to_string(seed) + ".uni");
    tools::WriteFile(log, tools::UniLog(records));
    return log;
  }

  // The history as it counts: each entry's number, kind and after-hash.
  std::vector<std::string> Listing() const {
    std::vector<std::string> lines;
    for (const HistoryEntry& entry : PassHistory(image_).List(Sha256Hex(Image()))) {
      lines.push_back(std::to_string(entry.sequence) + " " + KindName(entry.kind) + " " +
                      entry.afterSha256 + (entry.damage.empty() ? "" : " damaged"));
    }
    return lines;
  }

  // The folders in the history folder, sorted: every entry in every state.
  std::vector<std::string> Folders() const {
    std::vector<std::string> names;
    if (!fs::exists(image_ + ".history")) return names;
    for (const auto& e : fs::directory_iterator(image_ + ".history")) {
      if (e.is_directory()) names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // Keeps the image, its history and the report as they are, for Restore.
  void Save() {
    saved_ = Image();
    savedReport_ = tools::ReadFile(report_);
    fs::remove_all(dir_.File("saved.history"));
    fs::copy(image_ + ".history", dir_.File("saved.history"), fs::copy_options::recursive);
  }
  void Restore() {
    tools::WriteFile(image_, saved_);
    tools::WriteFile(report_, savedReport_);
    fs::remove_all(image_ + ".history");
    fs::copy(dir_.File("saved.history"), image_ + ".history", fs::copy_options::recursive);
  }

  // A pass in this process, every write through fileSystem; the error it
  // ended with, empty when it completed.
  std::string Pass(const std::string& log, FileSystem& fileSystem,
                   std::vector<GridCell> lock = {}) {
    RunRequest request = RunRequest::ForOneLog(log, image_, report_, "124", "3000");
    request.lockCells = std::move(lock);
    testing::QuietWindow window;
    std::ostringstream out;
    Diagnostics quiet(out, out);
    try {
      TuningRun(window, quiet, fileSystem).Perform(request);
    } catch (const TrimwrightError& error) {
      return error.what();
    }
    return "";
  }

  testing::TempDir dir_;
  const std::string image_ = dir_.File("car.bin");
  const std::string report_ = dir_.File("car_trw.txt");
  const std::string original_;
  std::string saved_;
  std::string savedReport_;
};

// Each write, sync, rename, folder made or removed of a pass fails in turn:
// afterwards the image is the old one with its history, report and locks as
// they were, or the new one with its entry and the new locks.
TEST_F(MemoryTest, EveryFailedStepOfAPassLeavesTheImageAndItsMemoryAgreeing) {
  ASSERT_EQ(Pass(Drive(1), FileSystem::Default()), "");
  const std::string log = Drive(2);
  Save();
  const std::vector<std::string> listed = Listing();
  const std::vector<std::string> folders = Folders();
  const std::vector<GridCell> locks = CellLocks::Read(image_);
  FaultyFileSystem counted;
  ASSERT_EQ(Pass(log, counted, {{1200, 50}}), "");
  const std::string tuned = Image();
  const int steps = static_cast<int>(counted.operations.size());
  ASSERT_GT(steps, 20);
  int old = 0;
  for (int k = 1; k <= steps; ++k) {
    Restore();
    FaultyFileSystem failing;
    failing.FailOperation(k);
    const std::string error = Pass(log, failing, {{1200, 50}});
    const std::string step = counted.operations[static_cast<std::size_t>(k - 1)].kind + " " +
                             counted.operations[static_cast<std::size_t>(k - 1)].path;
    if (Image() == saved_) {
      ++old;
      EXPECT_NE(error, "") << step;
      EXPECT_EQ(Listing(), listed) << step;
      EXPECT_EQ(Folders(), folders) << step << ": nothing left for the next run to settle";
      EXPECT_EQ(tools::ReadFile(report_), savedReport_) << step;
      EXPECT_EQ(CellLocks::Read(image_), locks) << step;
    } else {
      ASSERT_TRUE(Image() == tuned) << step;
      const std::vector<std::string> now = Listing();
      ASSERT_EQ(now.size(), listed.size() + 1) << step;
      EXPECT_EQ(now.front(), "2 pass " + Sha256Hex(tuned)) << step;
      EXPECT_EQ(CellLocks::Read(image_), (std::vector<GridCell>{{1200, 50}})) << step;
    }
  }
  EXPECT_GT(old, 0);
  EXPECT_LT(old, steps) << "a failure after the image write leaves the new image";
}

// The first pass of an image: its baseline is kept before its entry, so a
// failure at any step leaves no entry in any state, and a baseline that
// stays is the image as it was.
TEST_F(MemoryTest, TheFirstPassFailingAtAnyStepLeavesNoEntry) {
  const std::string log = Drive(1);
  FaultyFileSystem counted;
  ASSERT_EQ(Pass(log, counted), "");
  // The entry's folder is synced after its files and before its rename, the
  // baseline's likewise.
  for (const char* folder : {".pending", "baseline.pending"}) {
    int lastWrite = -1, synced = -1, renamed = -1;
    for (std::size_t k = 0; k < counted.operations.size(); ++k) {
      const auto& op = counted.operations[k];
      const bool inside = op.path.find(folder) != std::string::npos;
      if (inside && op.kind == "write") lastWrite = static_cast<int>(k);
      if (op.path.ends_with(folder) && op.kind == "sync folder") synced = static_cast<int>(k);
      if (op.path.ends_with(folder) && op.kind == "rename") renamed = static_cast<int>(k);
    }
    EXPECT_LT(lastWrite, synced) << folder;
    EXPECT_LT(synced, renamed) << folder;
  }
  const int steps = static_cast<int>(counted.operations.size());
  for (int k = 1; k <= steps; ++k) {
    fs::remove_all(image_ + ".history");
    tools::WriteFile(image_, original_);
    FaultyFileSystem failing;
    failing.FailOperation(k);
    Pass(log, failing);
    if (Image() != original_) continue;
    for (const std::string& name : Folders()) {
      EXPECT_FALSE(std::isdigit(name[0])) << name << " after failing step " << k;
    }
    if (fs::exists(image_ + ".history/baseline/image.bin")) {
      EXPECT_EQ(tools::ReadFile(image_ + ".history/baseline/image.bin"), original_) << k;
    }
  }
}

// A change of locks fails at each step in turn: the old locks or the new
// ones, never fewer, and no temporary file left.
TEST_F(MemoryTest, EveryFailedStepOfALockChangeKeepsTheOldLocksOrTheNew) {
  const std::vector<GridCell> six =
      CellLocks::Change(image_, CellRange::Parse("1600-1800:50-60").Cells(), {});
  std::vector<GridCell> seven = six;
  seven.insert(seven.begin(), GridCell{1200, 50});
  const std::string file = CellLocks::PathFor(image_);
  const std::string saved = tools::ReadFile(file);
  FaultyFileSystem counted;
  CellLocks::Change(image_, {{1200, 50}}, {}, nullptr, counted);
  for (int k = 1; k <= static_cast<int>(counted.operations.size()); ++k) {
    tools::WriteFile(file, saved);
    FaultyFileSystem failing;
    failing.FailOperation(k);
    try {
      CellLocks::Change(image_, {{1200, 50}}, {}, nullptr, failing);
    } catch (const TrimwrightError&) {
    }
    const std::vector<GridCell> now = CellLocks::Read(image_);
    EXPECT_TRUE(now == six || now == seven) << "step " << k;
    EXPECT_FALSE(fs::exists(file + ".pending")) << "step " << k;
  }
}

// The same for an undo: the image before the undo with the history as it
// was, or the image before the pass with the undo's entry.
TEST_F(MemoryTest, EveryFailedStepOfAnUndoLeavesTheImageAndItsHistoryAgreeing) {
  ASSERT_EQ(Pass(Drive(1), FileSystem::Default()), "");
  const std::string beforePass = Image();
  ASSERT_EQ(Pass(Drive(2), FileSystem::Default()), "");
  Save();
  const std::vector<std::string> listed = Listing();
  FaultyFileSystem counted;
  UndoLastPass(image_, false, 50, counted);
  ASSERT_TRUE(Image() == beforePass);
  const int steps = static_cast<int>(counted.operations.size());
  for (int k = 1; k <= steps; ++k) {
    Restore();
    FaultyFileSystem failing;
    failing.FailOperation(k);
    try {
      UndoLastPass(image_, false, 50, failing);
    } catch (const TrimwrightError&) {
    }
    const auto& op = counted.operations[static_cast<std::size_t>(k - 1)];
    if (Image() == saved_) {
      EXPECT_EQ(Listing(), listed) << op.kind << " " << op.path;
    } else {
      ASSERT_TRUE(Image() == beforePass) << op.kind << " " << op.path;
      EXPECT_EQ(Listing().front(), "3 undo " + Sha256Hex(beforePass)) << op.kind << " " << op.path;
    }
  }
}

// A device that fails for good: where the old bytes cannot be put back, the
// entry stays and the message says how to put the image back.
TEST_F(MemoryTest, AWriteThatCannotBeTakenBackKeepsItsEntryAndSaysSo) {
  ASSERT_EQ(Pass(Drive(1), FileSystem::Default()), "");
  const std::string beforePass = Image();
  FaultyFileSystem failing;
  int imageWrites = 0;
  // The first write of the image goes through; its sync and the write that
  // would take it back fail: the image holds the new bytes.
  failing.failWhen = [&](const FaultyFileSystem::Operation& op, int) {
    if (op.path != image_) return false;
    return op.kind == "sync" || (op.kind == "write" && ++imageWrites > 1);
  };
  const std::string error = Pass(Drive(2), failing);
  EXPECT_NE(error.find("Unable to write file " + image_ +
                       "; the image could not be put back as it was and holds the pass's new "
                       "bytes: the pass's history entry #2 is kept, so --undo puts back the image "
                       "from before the pass"),
            std::string::npos)
      << error;
  EXPECT_FALSE(Image() == beforePass);
  UndoLastPass(image_, false, 50);
  EXPECT_TRUE(Image() == beforePass);

  // Every sync of the image fails: the old bytes read back, but were never
  // synced again, so the entry stays and --undo --force puts the image back.
  FaultyFileSystem syncless;
  syncless.FailEvery("sync", image_);
  const std::string unknown = Pass(Drive(3), syncless);
  EXPECT_NE(unknown.find("may hold part of the pass's new bytes: the pass's history entry #4 is "
                         "kept, so --undo puts back the image from before the pass (with --force"),
            std::string::npos)
      << unknown;
  const UndoResult undone = UndoLastPass(image_, true, 50);
  EXPECT_EQ(undone.outcome, RunOutcome::kCompleted);
  EXPECT_TRUE(Image() == beforePass);
}

// An undo whose write cannot be taken back: where the image holds the
// restored bytes the undo's entry is kept; where it may hold part of them
// the pass stays not undone, for --undo --force; where the old bytes were
// put back the failure is the plain one.
TEST_F(MemoryTest, AnUndoThatCannotBeTakenBackSaysHowTheImageStands) {
  ASSERT_EQ(Pass(Drive(1), FileSystem::Default()), "");
  const std::string beforePass = Image();
  ASSERT_EQ(Pass(Drive(2), FileSystem::Default()), "");
  const std::string tuned = Image();
  Save();
  const auto undo = [&](FaultyFileSystem& fileSystem) -> std::string {
    try {
      UndoLastPass(image_, false, 50, fileSystem);
    } catch (const TrimwrightError& error) {
      return error.what();
    }
    return "";
  };

  FaultyFileSystem once;
  int syncs = 0;
  once.failWhen = [&](const FaultyFileSystem::Operation& op, int) {
    return op.path == image_ && op.kind == "sync" && ++syncs == 1;
  };
  EXPECT_EQ(undo(once), "Unable to write file " + image_);
  EXPECT_TRUE(Image() == tuned);
  EXPECT_EQ(Listing().front(), "2 pass " + Sha256Hex(tuned));

  Restore();
  FaultyFileSystem written;
  int writes = 0;
  written.failWhen = [&](const FaultyFileSystem::Operation& op, int) {
    return op.path == image_ && (op.kind == "sync" || (op.kind == "write" && ++writes > 1));
  };
  const std::string kept = undo(written);
  EXPECT_NE(kept.find("holds the image from before pass #2"), std::string::npos) << kept;
  EXPECT_NE(kept.find("the undo's history entry #3 is kept"), std::string::npos) << kept;
  EXPECT_TRUE(Image() == beforePass);
  EXPECT_EQ(Listing().front(), "3 undo " + Sha256Hex(beforePass));

  Restore();
  FaultyFileSystem syncless;
  syncless.FailEvery("sync", image_);
  const std::string unknown = undo(syncless);
  EXPECT_NE(unknown.find("the pass stays not undone, so --undo --force"), std::string::npos)
      << unknown;
  EXPECT_EQ(Listing().front(), "2 pass " + Sha256Hex(tuned));
  EXPECT_EQ(UndoLastPass(image_, true, 50).outcome, RunOutcome::kCompleted);
  EXPECT_TRUE(Image() == beforePass);
}

// Trimming renames an entry out of the listing before removing it: one cut
// short is never listed, never damaged, and the next run finishes it.
TEST_F(MemoryTest, TrimmingCutShortLeavesNoDamagedEntry) {
  ASSERT_EQ(Pass(Drive(1), FileSystem::Default()), "");
  FaultyFileSystem failing;
  failing.failWhen = [](const FaultyFileSystem::Operation& op, int) {
    return op.kind == "remove" && op.path.ends_with(".removing");
  };
  RunRequest request = RunRequest::ForOneLog(Drive(2), image_, report_, "124", "3000");
  request.keepHistory = 1;
  testing::QuietWindow window;
  std::ostringstream out;
  Diagnostics quiet(out, out);
  TuningRun(window, quiet, failing).Perform(request);
  const std::string history = image_ + ".history/";
  bool cutShort = false;
  for (const auto& e : fs::directory_iterator(history)) {
    cutShort = cutShort || e.path().string().ends_with(".removing");
  }
  ASSERT_TRUE(cutShort);
  // Half removed, as a kill leaves it.
  for (const auto& e : fs::directory_iterator(history)) {
    if (e.path().string().ends_with(".removing")) fs::remove(e.path() / "image.bin");
  }
  const ProcessResult listing = Cli({"--history", image_});
  EXPECT_EQ(listing.out.find("damaged"), std::string::npos) << listing.out;
  EXPECT_EQ(Listing().size(), 1u);
  ASSERT_EQ(Cli({"-q", "--keep-history", "1", Drive(3), image_}).exitStatus, 0);
  for (const auto& e : fs::directory_iterator(history)) {
    EXPECT_FALSE(e.path().string().ends_with(".removing")) << e.path();
  }
  // One cut short under the very name the next removal takes is finished
  // first, so that the rename onto it does not fail.
  DurableFolder folder(dir_.File("folder"), FileSystem::Default(), "folder");
  ASSERT_EQ(folder.Make(), "");
  for (const std::string name : {"entry", "entry.removing"}) {
    fs::create_directory(folder.PathOf(name));
    tools::WriteFile(folder.PathOf(name + "/image.bin"), name);
  }
  EXPECT_TRUE(folder.Remove("entry", "entry.removing"));
  EXPECT_TRUE(fs::is_empty(folder.path()));
}

// Four drives under a total limit of 3 % with one entry kept: the baseline
// is the first image throughout, so no VE byte ends more than 3 % from it.
TEST_F(MemoryTest, TrimmingNeverMovesTheBaseline) {
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    const ProcessResult pass =
        Cli({"-q", "--max-total-change", "3", "--keep-history", "1", Drive(seed), image_});
    ASSERT_EQ(pass.exitStatus, 0) << pass.err;
  }
  const std::string first = dir_.File("first.bin");
  tools::WriteFile(first, original_);
  const ProcessResult compared = Cli({"--compare", first, image_, "--json", "-"});
  const Json json = Json::parse(compared.out);
  EXPECT_GT(json["differing_cells"], 100);
  for (const Json& cell : json["ve_cells"]) {
    EXPECT_LE(
        std::fabs(cell["change_percent"].is_number() ? cell["change_percent"].get<double>() : 0.0),
        3.0);
  }
  const std::string listing = Cli({"--history", image_}).out;
  EXPECT_NE(listing.find("Baseline of the total limit: the image before entry #1 of its history"),
            std::string::npos)
      << listing;
  EXPECT_EQ(Listing().size(), 1u);

  // A kept baseline that is damaged is said, never replaced by the oldest
  // entry; a pass without the total limit does not need it.
  const std::string kept = image_ + ".history/baseline/image.bin";
  std::string bytes = tools::ReadFile(kept);
  bytes[0x12C00] = static_cast<char>(bytes[0x12C00] ^ 1);
  tools::WriteFile(kept, bytes);
  const ProcessResult damaged = Cli({"-q", "--max-total-change", "3", Drive(5), image_});
  EXPECT_EQ(damaged.exitStatus, 3);
  EXPECT_NE(damaged.err.find("The baseline kept as " + kept + " is damaged"), std::string::npos)
      << damaged.err;
  EXPECT_EQ(Cli({"-q", Drive(5), image_}).exitStatus, 0);
}

// A history written before baselines were kept gets one from its oldest
// entry at its next pass.
TEST_F(MemoryTest, AnOlderHistoryKeepsItsOldestEntryAsTheBaseline) {
  ASSERT_EQ(Cli({"-q", Drive(1), image_}).exitStatus, 0);
  ASSERT_EQ(Cli({"-q", Drive(6), image_}).exitStatus, 0);
  fs::remove_all(image_ + ".history/baseline");
  // Read before any pass keeps it: the oldest entry, never the newest.
  const Json dry = Json::parse(
      Cli({"--dry-run", "--max-total-change", "5", "--json", "-", Drive(4), image_}).out);
  EXPECT_EQ(dry["limits"]["baseline"].get<std::string>().rfind("the image before entry #1 ", 0), 0u)
      << dry["limits"]["baseline"];
  EXPECT_NE(
      Cli({"--compare", image_ + "@9", image_}).err.find("has no entry #9 (it holds #1 to #2)"),
      std::string::npos);
  ASSERT_EQ(Cli({"-q", Drive(2), image_}).exitStatus, 0);
  EXPECT_EQ(tools::ReadFile(image_ + ".history/baseline/image.bin"), original_);
  ASSERT_EQ(Cli({"-q", "--keep-history", "1", Drive(3), image_}).exitStatus, 0);
  const Json plan = Json::parse(
      Cli({"--dry-run", "--max-total-change", "5", "--json", "-", Drive(4), image_}).out);
  EXPECT_EQ(plan["limits"]["baseline"].get<std::string>().rfind("the image before entry #1 ", 0),
            0u)
      << plan["limits"]["baseline"];
}

// A file reached by several names keeps one history, locks and baseline:
// through a hard link beside it, and one in another folder, which finds the
// history the file records; where that history's image is no longer this
// file, the name is refused.
TEST_F(MemoryTest, AHardLinkReachesTheHistoryTheFileAlreadyHas) {
  ASSERT_EQ(Cli({"--lock", "1600-1800:50-60", image_}).exitStatus, 0);
  const std::string hard = dir_.File("hard.bin");
  fs::create_hard_link(image_, hard);
  EXPECT_NE(Cli({"--locks", hard}).out.find("6 VE cell(s) of " + hard + " locked"),
            std::string::npos);
  const std::string drive = Drive(1);
  ASSERT_EQ(Cli({"-q", "--max-total-change", "1", drive, hard}).exitStatus, 0);
  ASSERT_EQ(Cli({"-q", "--max-total-change", "1", drive, hard}).exitStatus, 0);
  EXPECT_FALSE(fs::exists(hard + ".history"));
  EXPECT_EQ(Listing().size(), 2u);
  const Json json =
      Json::parse(Cli({"--compare", kExamples + "/sample.bin", image_, "--json", "-"}).out);
  for (const Json& cell : json["ve_cells"]) {
    const int rpm = cell["rpm"];
    const int kpa = cell["kpa"];
    if (rpm >= 1600 && rpm <= 1800 && kpa >= 50 && kpa <= 60) {
      EXPECT_EQ(cell["a"], cell["b"]);
    }
    EXPECT_LE(
        std::fabs(cell["change_percent"].is_number() ? cell["change_percent"].get<double>() : 0.0),
        1.0);
  }

  fs::create_directory(dir_.File("elsewhere"));
  const std::string far = dir_.File("elsewhere/far.bin");
  fs::create_hard_link(image_, far);
  EXPECT_NE(Cli({"--history", far}).out.find("#2  "), std::string::npos);
  fs::rename(image_, dir_.File("renamed.bin"));
  fs::remove(hard);
  const ProcessResult refused = Cli({"--locks", far});
  EXPECT_EQ(refused.exitStatus, 3);
  EXPECT_NE(refused.err.find("whose history is " + image_ + ".history"), std::string::npos)
      << refused.err;
}

// Without the file's own record (a file system that keeps none, a history
// older than the record), a hard link beside the image finds its history.
TEST_F(MemoryTest, AHardLinkBesideTheImageFindsItsHistoryWithoutTheRecord) {
  ASSERT_EQ(Cli({"--lock", "1600-1800:50-60", image_}).exitStatus, 0);
  ::removexattr(image_.c_str(), "user.trimwright.history");
  const std::string hard = dir_.File("hard.bin");
  fs::create_hard_link(image_, hard);
  EXPECT_NE(Cli({"--locks", hard}).out.find("6 VE cell(s)"), std::string::npos);
  ASSERT_EQ(Cli({"-q", Drive(1), hard}).exitStatus, 0);
  EXPECT_FALSE(fs::exists(hard + ".history"));
  EXPECT_EQ(Listing().size(), 1u);
}

// The baseline of the total limit is an input: no output may be it, by its
// name, a symbolic link or a hard link, in a pass or a dry run.
TEST_F(MemoryTest, NoOutputMayBeTheBaseline) {
  const std::string stock = dir_.File("stock.bin");
  tools::WriteFile(stock, original_);
  fs::create_symlink(stock, dir_.File("link.bin"));
  fs::create_hard_link(stock, dir_.File("hard.bin"));
  const std::string log = Drive(1);
  for (const std::string& output : {stock, dir_.File("link.bin"), dir_.File("hard.bin")}) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"-q", "--max-total-change", "5", "--baseline", stock, "--json", output, log, image_},
             {"-q", "--dry-run", "--max-total-change", "5", "--baseline", stock, "--report", output,
              log, image_}}) {
      const ProcessResult refused = Cli(args);
      EXPECT_EQ(refused.exitStatus, 3) << output;
      EXPECT_NE(refused.err.find("is the baseline of the total limit itself"), std::string::npos)
          << refused.err;
    }
  }
  EXPECT_EQ(tools::ReadFile(stock), original_);
  EXPECT_TRUE(Image() == original_);
}

// A second mount of the history folder is the history folder.
TEST_F(MemoryTest, ASecondMountOfTheHistoryIsRefusedAsAnOutput) {
  if (testing::RunProcess({"/usr/bin/unshare", "-m", "true"}).exitStatus != 0) {
    GTEST_SKIP() << "no mount namespace here";
  }
  ASSERT_EQ(Cli({"-q", Drive(1), image_}).exitStatus, 0);
  const std::string mirror = dir_.File("mirror");
  fs::create_directory(mirror);
  std::string entry;
  for (const auto& e : fs::directory_iterator(image_ + ".history")) {
    if (e.path().filename().string().starts_with("000001-")) entry = e.path().filename();
  }
  const std::string script = "mount --bind " + image_ + ".history " + mirror + " && " + kCli +
                             " -q --json " + mirror + "/" + entry + "/image.bin " + Drive(2) + " " +
                             image_;
  const std::string saved = tools::ReadFile(image_ + ".history/" + entry + "/image.bin");
  const ProcessResult result = testing::RunProcess({"/usr/bin/unshare", "-m", "sh", "-c", script});
  EXPECT_EQ(result.exitStatus, 3);
  EXPECT_NE(result.err.find("lies in the history folder"), std::string::npos) << result.err;
  EXPECT_EQ(tools::ReadFile(image_ + ".history/" + entry + "/image.bin"), saved);
}

// A pass killed between its report and its image: the next run puts back the
// report it replaced along with dropping its entry.
TEST_F(MemoryTest, RecoveryPutsBackTheReportOfAPassThatNeverReachedTheImage) {
  ASSERT_EQ(Pass(Drive(1), FileSystem::Default()), "");
  const std::string firstReport = tools::ReadFile(report_);
  const std::string beforeSecond = Image();
  ASSERT_EQ(Pass(Drive(2), FileSystem::Default()), "");
  ASSERT_NE(tools::ReadFile(report_), firstReport);
  // As the kill leaves it: the entry prepared, the image not yet written.
  std::string second;
  for (const auto& e : fs::directory_iterator(image_ + ".history")) {
    if (e.path().filename().string().starts_with("000002-")) second = e.path().string();
  }
  fs::rename(second, second + ".prepared");
  tools::WriteFile(image_, beforeSecond);
  ASSERT_EQ(Cli({"--undo", image_}).exitStatus, 0);
  EXPECT_EQ(tools::ReadFile(report_), firstReport);
  EXPECT_TRUE(Image() == original_);
}

// The locks are needed by every command that uses them: a history folder
// that cannot be read refuses each, never reads as "no locks".
TEST_F(MemoryTest, LocksOutOfReachRefuseEveryCommandThatNeedsThem) {
  tools::WriteFile(image_ + ".history", "in the way");
  const std::string log = Drive(1);
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--locks", image_},
                                             {"--lock", "1200:50", image_},
                                             {"--dry-run", log, image_},
                                             {"--no-history", log, image_}}) {
    const ProcessResult refused = Cli(args);
    EXPECT_EQ(refused.exitStatus, 3) << args[0];
    EXPECT_NE(refused.err.find("Unable to read the history folder " + image_ + ".history"),
              std::string::npos)
        << refused.err;
  }
  EXPECT_TRUE(Image() == original_);
}

// Locks stored beside a log would hold nothing back: --lock needs an image.
TEST_F(MemoryTest, LocksGoOnAnImageOnly) {
  const std::string log = Drive(1);
  const ProcessResult refused = Cli({"--lock", "1200:50", log});
  EXPECT_EQ(refused.exitStatus, 3);
  EXPECT_NE(refused.err.find("Unknown type of pcm file " + log), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(log + ".history"));
}

// A JSON file named by an empty text is refused as an empty report name is,
// by every command that writes one, before anything is read or written.
TEST_F(MemoryTest, AnEmptyJsonNameIsRefused) {
  const std::string log = Drive(1);
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--json", "", log, image_},
                                             {"--dry-run", "--json", "", log, image_},
                                             {"--history", image_, "--json", ""},
                                             {"--compare", image_, image_, "--json", ""},
                                             {"--report", "", log, image_}}) {
    const ProcessResult refused = Cli(args);
    EXPECT_EQ(refused.exitStatus, 1) << args[0];
    EXPECT_NE(refused.err.find("Please enter a"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
  }
  EXPECT_TRUE(Image() == original_);
  EXPECT_FALSE(fs::exists(image_ + ".history"));
}

// A last record without a line end is read and cut off: the fates add up to
// the file, and the records used are those of the file without that line.
TEST_F(MemoryTest, ALastRecordWithoutALineEndIsCountedAsCutOff) {
  const std::string whole = tools::ReadFile(kExamples + "/sample.csv");
  ASSERT_EQ(whole.back(), '\n');
  const std::string unended = dir_.File("unended.csv");
  tools::WriteFile(unended, whole.substr(0, whole.size() - 1));
  const std::string dropped = dir_.File("dropped.csv");
  tools::WriteFile(dropped, whole.substr(0, whole.rfind('\n', whole.size() - 2) + 1));
  const auto fates = [&](const std::string& log) {
    const ProcessResult run = Cli({"--dry-run", "--json", "-", log, image_});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    return Json::parse(run.out)["record_fates"];
  };
  const Json cut = fates(unended);
  const Json before = fates(dropped);
  EXPECT_EQ(cut["read"], before["read"].get<int>() + 1);
  EXPECT_EQ(cut["rejected"]["cut_off"], before["rejected"]["cut_off"].get<int>() + 1);
  EXPECT_EQ(cut["used"], before["used"]);
  // At the edges: the header and one unended record; the header alone.
  const std::string header = whole.substr(0, whole.find('\n') + 1);
  const std::string first =
      whole.substr(header.size(), whole.find('\n', header.size()) - header.size());
  for (const auto& [text, read] : std::vector<std::pair<std::string, int>>{
           {header + first, 1}, {header, 0}, {header.substr(0, header.size() - 1), 0}}) {
    tools::WriteFile(unended, text);
    const Json edge = fates(unended);
    EXPECT_EQ(edge["read"], read) << text.size();
    EXPECT_EQ(edge["rejected"]["cut_off"], read) << text.size();
  }
}

}  // namespace
}  // namespace trimwright
