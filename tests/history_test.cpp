// The history beside an image, through trimwright-cli: passes saved before
// the image is written, listed newest first, undone back to the original,
// refusals that leave the image alone, retention, and the states a killed
// run leaves; and, in this process, the order in which an entry reaches the
// disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/HistoryCommands.h"
#include "app/TuningRun.h"
#include "common/DiskFile.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/Process.h"
#include "tests/support/QuietWindow.h"
#include "tests/support/TempDir.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

using testing::ProcessResult;
using testing::QuietWindow;
using testing::RunProcess;
using testing::TempDir;

const std::string kCli = TRIMWRIGHT_CLI_PATH;
const std::string kExamples = TRIMWRIGHT_EXAMPLES_DIR;

class HistoryTest : public ::testing::Test {
 protected:
  HistoryTest() : original_(tools::ReadFile(kExamples + "/sample.bin")) {
    tools::WriteFile(log_, tools::ReadFile(kExamples + "/sample.uni"));
    tools::WriteFile(image_, original_);
  }

  ProcessResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), kCli);
    return RunProcess(args);
  }
  ProcessResult Pass(const std::string& targetBlm, std::vector<std::string> more = {}) {
    std::vector<std::string> args{"--target-blm", targetBlm, "--rpm-limit", "7000"};
    args.insert(args.end(), more.begin(), more.end());
    args.push_back(log_);
    args.push_back(image_);
    return Cli(args);
  }
  std::string Image() const { return tools::ReadFile(image_); }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    if (!std::filesystem::is_directory(image_ + ".history")) return names;
    for (const auto& e : std::filesystem::directory_iterator(image_ + ".history")) {
      // The entries, not the baseline kept beside them.
      if (e.path().filename() != "baseline") names.push_back(e.path().filename().string());
    }
    return names;
  }

  TempDir dir_;
  const std::string log_ = dir_.File("drive.uni");
  const std::string image_ = dir_.File("car.bin");
  const std::string original_;
};

TEST_F(HistoryTest, PassPassUndoUndoGivesBackTheOriginalBytes) {
  ASSERT_EQ(Pass("124").exitStatus, 0);
  const std::string first = Image();
  ASSERT_TRUE(first != original_);
  const ProcessResult second = Pass("118");
  ASSERT_EQ(second.exitStatus, 0) << second.err;
  EXPECT_EQ(second.err, "trimwright-cli: Processing complete\n");
  ASSERT_TRUE(Image() != first);

  const ProcessResult listing = Cli({"--history", image_});
  EXPECT_EQ(listing.exitStatus, 0);
  const std::size_t newest = listing.out.find("#2  ");
  const std::size_t older = listing.out.find("#1  ");
  ASSERT_NE(newest, std::string::npos) << listing.out;
  ASSERT_NE(older, std::string::npos) << listing.out;
  EXPECT_LT(newest, older);
  EXPECT_NE(listing.out.find("logs: " + log_), std::string::npos) << listing.out;
  EXPECT_NE(listing.out.find("target BLM 118, rpm limit 7000, "), std::string::npos);
  EXPECT_NE(listing.out.find("target BLM 124, rpm limit 7000, "), std::string::npos);
  EXPECT_EQ(listing.out.find("image: as this pass left it"),
            listing.out.rfind("image: as this pass left it"));
  EXPECT_LT(listing.out.find("image: as this pass left it"), older);
  EXPECT_GT(listing.out.find("image: changed since"), older);

  const ProcessResult undo = Cli({"--undo", image_});
  EXPECT_EQ(undo.exitStatus, 0) << undo.err;
  EXPECT_NE(undo.err.find("as it was before pass #2"), std::string::npos) << undo.err;
  EXPECT_TRUE(Image() == first);
  EXPECT_EQ(Cli({"--undo", image_}).exitStatus, 0);
  EXPECT_TRUE(Image() == original_);

  // Both undos are entries of their own; nothing is left to undo.
  EXPECT_EQ(Entries().size(), 4u);
  const ProcessResult none = Cli({"--undo", image_});
  EXPECT_EQ(none.exitStatus, 1);
  EXPECT_NE(none.err.find("No pass of " + image_ + " is left to undo"), std::string::npos);
  EXPECT_TRUE(Image() == original_);
  const std::string after = Cli({"--history", image_}).out;
  EXPECT_NE(after.find("#4  "), std::string::npos) << after;
  EXPECT_NE(after.find("undo of #1"), std::string::npos) << after;
  EXPECT_NE(after.find("image: as this undo left it"), std::string::npos) << after;
}

TEST_F(HistoryTest, UndoAfterAnOutsideEditIsRefusedUnlessForced) {
  ASSERT_EQ(Pass("124").exitStatus, 0);
  std::string edited = Image();
  edited[0x100] = static_cast<char>(edited[0x100] ^ 0x5A);
  tools::WriteFile(image_, edited);

  const ProcessResult refused = Cli({"--undo", image_});
  EXPECT_EQ(refused.exitStatus, 3);
  EXPECT_NE(refused.err.find("is not as pass #1 of "), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("1 byte(s) differ, from offset 0x100 to 0x100"), std::string::npos)
      << refused.err;
  EXPECT_TRUE(Image() == edited);
  EXPECT_NE(Cli({"--history", image_}).out.find("image: changed since"), std::string::npos);

  EXPECT_EQ(Cli({"--force", "--undo", image_}).exitStatus, 0);
  EXPECT_TRUE(Image() == original_);
  // The forced undo kept the edited image, so it too can be put back by hand.
  const std::string folder = image_ + ".history";
  bool saved = false;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    saved = saved || tools::ReadFile(e.path().string() + "/image.bin") == edited;
  }
  EXPECT_TRUE(saved);
}

TEST_F(HistoryTest, HistoryThatCannotBeWrittenRefusesThePassWithTheImageUntouched) {
  tools::WriteFile(image_ + ".history", "in the way");
  const ProcessResult refused = Pass("124");
  EXPECT_EQ(refused.exitStatus, 3);
  // The locks kept in the folder cannot be read either, so even a pass
  // without a history, or a dry run, is refused.
  const std::string inTheWay = "error: Unable to read the history folder " + image_ +
                               ".history (a file of that name is in the way)";
  EXPECT_NE(refused.err.find(inTheWay), std::string::npos) << refused.err;
  EXPECT_TRUE(Image() == original_);
  for (const char* option : {"--no-history", "--dry-run"}) {
    const ProcessResult also = Pass("124", {option});
    EXPECT_EQ(also.exitStatus, 3) << option;
    EXPECT_NE(also.err.find(inTheWay), std::string::npos) << also.err;
  }
  EXPECT_TRUE(Image() == original_);

  // A history folder that cannot be made refuses the pass.
  std::filesystem::remove(image_ + ".history");
  std::filesystem::create_directory_symlink(dir_.File("nowhere/deeper"), image_ + ".history");
  const ProcessResult unmade = Pass("124");
  EXPECT_EQ(unmade.exitStatus, 3);
  EXPECT_NE(unmade.err.find("error: Unable to write the history folder " + image_ + ".history"),
            std::string::npos)
      << unmade.err;
  EXPECT_TRUE(Image() == original_);
  std::filesystem::remove(image_ + ".history");

  // Without a history the same pass goes through, and a dry run never
  // touches one.
  EXPECT_EQ(Pass("124", {"--no-history"}).exitStatus, 0);
  EXPECT_TRUE(Image() != original_);
  EXPECT_EQ(Pass("124", {"--dry-run"}).exitStatus, 0);
  EXPECT_FALSE(std::filesystem::exists(image_ + ".history"));
}

// The states a kill leaves on disk, made by hand: an entry renamed back to
// prepared stands for a kill between the image write and the commit, and
// counts when the image carries its after-hash and is dropped when the image
// is still the one it saved; a pending entry is never used.
TEST_F(HistoryTest, EntriesLeftByAKilledPassCountOnlyWhenTheImageWasWritten) {
  const std::string folder = image_ + ".history";
  const auto newest = [&] {
    std::vector<std::string> entries = Entries();
    std::sort(entries.begin(), entries.end());
    return folder + "/" + entries.back();
  };
  ASSERT_EQ(Pass("124").exitStatus, 0);
  std::filesystem::rename(newest(), newest() + ".prepared");
  std::filesystem::create_directory(folder + "/000007-20261209T000000Z.pending");
  tools::WriteFile(folder + "/000007-20261209T000000Z.pending/image.bin", "partial");
  EXPECT_NE(Cli({"--history", image_}).out.find("image: as this pass left it"), std::string::npos);
  EXPECT_EQ(Cli({"--undo", image_}).exitStatus, 0);
  EXPECT_TRUE(Image() == original_);
  EXPECT_FALSE(std::filesystem::exists(folder + "/000007-20261209T000000Z.pending"));

  ASSERT_EQ(Pass("124").exitStatus, 0);
  ASSERT_NE(Cli({"--history", image_}).out.find("#3  "), std::string::npos);
  const std::string unwritten = newest();
  std::filesystem::rename(unwritten, unwritten + ".prepared");
  tools::WriteFile(image_, original_);
  EXPECT_EQ(Cli({"--history", image_}).out.find("#3  "), std::string::npos);
  const ProcessResult none = Cli({"--undo", image_});
  EXPECT_EQ(none.exitStatus, 1) << none.err;
  EXPECT_TRUE(Image() == original_);
  EXPECT_FALSE(std::filesystem::exists(unwritten + ".prepared"));
}

TEST_F(HistoryTest, KeepsOnlyTheNewestEntries) {
  for (const char* target : {"124", "122", "120"}) {
    ASSERT_EQ(Pass(target, {"--keep-history", "2"}).exitStatus, 0);
  }
  std::vector<std::string> entries = Entries();
  std::sort(entries.begin(), entries.end());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].substr(0, 7), "000002-");
  EXPECT_EQ(entries[1].substr(0, 7), "000003-");
  EXPECT_EQ(Pass("124", {"--keep-history", "0"}).exitStatus, 2);

  // An undo keeps the newest entries as a pass does, its own among them.
  const ProcessResult undo = Cli({"--keep-history", "2", "--undo", image_});
  ASSERT_EQ(undo.exitStatus, 0) << undo.err;
  entries = Entries();
  std::sort(entries.begin(), entries.end());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].substr(0, 7), "000003-");
  EXPECT_EQ(entries[1].substr(0, 7), "000004-");
}

// A prepared entry whose hashes match neither the image before nor after its
// pass: a pass killed after its image write and an outside edit since. Its
// saved image is the only copy of what came before, so settling the history
// keeps it, and it is never listed nor undone.
TEST_F(HistoryTest, PreparedEntryMatchingNeitherImageIsKeptAndNeverUsed) {
  ASSERT_EQ(Pass("124").exitStatus, 0);
  const std::string prepared = image_ + ".history/" + Entries().at(0) + ".prepared";
  std::filesystem::rename(image_ + ".history/" + Entries().at(0), prepared);
  std::string edited = Image();
  edited[0x100] = static_cast<char>(edited[0x100] ^ 0x5A);
  tools::WriteFile(image_, edited);

  const ProcessResult undo = Cli({"--undo", image_});
  EXPECT_EQ(undo.exitStatus, 1) << undo.err;
  EXPECT_TRUE(Image() == edited);
  EXPECT_TRUE(tools::ReadFile(prepared + "/image.bin") == original_);
  EXPECT_NE(Cli({"--history", image_}).out.find("No passes recorded for"), std::string::npos);
}

// Even forced, an undo puts back a saved image only over an image of the same
// size: one byte more or less is refused with status 3, and nothing is
// written, the history included.
TEST_F(HistoryTest, ForcedUndoOntoAnImageOfAnotherSizeIsRefused) {
  ASSERT_EQ(Pass("124").exitStatus, 0);
  const std::string tuned = Image();
  for (const std::string& resized : {tuned + '\x5A', tuned.substr(0, tuned.size() - 1)}) {
    tools::WriteFile(image_, resized);
    const ProcessResult refused = Cli({"--force", "--undo", image_});
    EXPECT_EQ(refused.exitStatus, 3) << resized.size();
    EXPECT_NE(refused.err.find("; nothing was written"), std::string::npos) << refused.err;
    EXPECT_TRUE(Image() == resized) << resized.size();
    EXPECT_EQ(Entries().size(), 1u);
  }
}

// The place of the first sync of path while it existed in the syncs a run
// made through fileSystem, or -1; and of its last sync.
int SyncPosition(const testing::FaultyFileSystem& fileSystem, const std::string& path) {
  const auto syncs = fileSystem.Succeeded("sync");
  for (std::size_t k = 0; k < syncs.size(); ++k) {
    if (syncs[k].path == path && syncs[k].existed) return static_cast<int>(k);
  }
  return -1;
}
int LastSyncPosition(const testing::FaultyFileSystem& fileSystem, const std::string& path) {
  const auto syncs = fileSystem.Succeeded("sync");
  for (std::size_t k = syncs.size(); k-- > 0;) {
    if (syncs[k].path == path) return static_cast<int>(k);
  }
  return -1;
}

// Each file of an entry is synced under the entry's pending name, so before
// the entry is renamed prepared, and all of them before the image is.
TEST_F(HistoryTest, EveryFileOfAnEntryIsSyncedBeforeTheEntryIsRenamed) {
  const auto check = [&](const testing::FaultyFileSystem& log,
                         const std::vector<std::string>& files) {
    std::vector<std::string> entries = Entries();
    std::sort(entries.begin(), entries.end());
    const std::string pending = image_ + ".history/" + entries.back() + ".pending/";
    const int image = LastSyncPosition(log, image_);
    ASSERT_GE(image, 0);
    for (const std::string& file : files) {
      const int at = SyncPosition(log, pending + file);
      EXPECT_GE(at, 0) << file << " was not synced before its entry was renamed";
      EXPECT_LT(at, image) << file;
    }
  };
  testing::CapturedOutput quiet;
  QuietWindow window;
  RunRequest request = RunRequest::ForOneLog(log_, image_, dir_.File("car_trw.txt"), "124", "7000");
  {
    testing::FaultyFileSystem log;
    ASSERT_EQ(TuningRun(window, Diagnostics::Standard(), log).Perform(request).outcome,
              RunOutcome::kCompleted);
    check(log, {"image.bin", "region.bin", "pass.json", "report.txt", "manifest.txt"});
  }
  {
    testing::FaultyFileSystem log;
    UndoLastPass(image_, false, 50, log);
    check(log, {"image.bin", "manifest.txt"});
  }
  EXPECT_TRUE(Image() == original_);
}

}  // namespace
}  // namespace trimwright
