// Attacks on what a run is given, through trimwright-cli on copies of the
// samples: outputs aimed at inputs, at the history or at each other, options
// that do not apply, a history in the way or out of reach, a linked image and
// a target no BLM can have. A run that refuses exits non-zero and leaves the
// image, the logs, the last real pass's report and the history exactly as
// they were.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

namespace fs = std::filesystem;
using testing::ProcessResult;
using testing::RunProcess;
using testing::TempDir;

const std::string kCli = TRIMWRIGHT_CLI_PATH;
const std::string kExamples = TRIMWRIGHT_EXAMPLES_DIR;

class HarmTest : public ::testing::Test {
 protected:
  HarmTest() {
    for (const char* ext : {"bin", "uni", "csv"}) {
      tools::WriteFile(File(std::string("sample.") + ext),
                       tools::ReadFile(kExamples + "/sample." + ext));
    }
    // Open to every user, for the runs that give up root's rights.
    fs::permissions(dir_.path(), fs::perms::all);
  }

  std::string File(const std::string& name) const { return dir_.File(name); }

  ProcessResult Cli(std::vector<std::string> args, bool unprivileged = false) {
    args.insert(args.begin(), kCli);
    return RunProcess(args, {}, unprivileged);
  }

  // A real pass, so that there is a report and a history to keep.
  void FirstPass() { ASSERT_EQ(Cli({File("sample.uni"), File("sample.bin")}).exitStatus, 0); }

  std::string Entry() const {
    for (const auto& e : fs::directory_iterator(File("sample.bin.history"))) {
      if (e.path().filename() != "baseline") return e.path().string();
    }
    return "";
  }

  // Every file under the folder, by its path, with its bytes.
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir_.path())) {
      files[e.path().string()] = e.is_regular_file() ? tools::ReadFile(e.path().string()) : "";
    }
    return files;
  }

  // Runs args, which must be refused with status and a message holding
  // words, and changes nothing.
  void ExpectRefused(const std::vector<std::string>& args, int status, const std::string& words) {
    const std::map<std::string, std::string> before = Snapshot();
    const ProcessResult result = Cli(args);
    EXPECT_EQ(result.exitStatus, status) << result.err;
    EXPECT_NE(result.err.find(words), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("Processing complete"), std::string::npos) << result.err;
    EXPECT_TRUE(Snapshot() == before) << "changed by a refused run: " << result.err;
  }

  TempDir dir_{testing::FolderOpenToEveryone()};
};

TEST_F(HarmTest, JsonMayNotNameAnInputOrTheReport) {
  FirstPass();
  ExpectRefused({"--json", File("sample.bin"), File("sample.uni"), File("sample.bin")}, 3,
                "is the calibration image itself");
  ExpectRefused({"--json", File("sample.uni"), File("sample.uni"), File("sample.bin")}, 3,
                "is the logged data file itself");
  fs::create_directory(File("sub"));
  ExpectRefused(
      {"--json", dir_.path() + "/./sub/../sample_trw.txt", File("sample.uni"), File("sample.bin")},
      3, "is the same file as the report file");
  ExpectRefused(
      {"--report", File("r.txt"), "--json", File("r.txt"), File("sample.uni"), File("sample.bin")},
      3, "is the same file as the report file");
  // A hard link to the log is the log.
  fs::create_hard_link(File("sample.uni"), File("plan.json"));
  ExpectRefused({"--json", File("plan.json"), File("sample.uni"), File("sample.bin")}, 3,
                "is the logged data file itself");
}

TEST_F(HarmTest, NoOutputMayLieInTheHistory) {
  FirstPass();
  const std::string entry = Entry();
  for (const char* file : {"image.bin", "manifest.txt"}) {
    ExpectRefused(
        {"--dry-run", "--report", entry + "/" + file, File("sample.csv"), File("sample.bin")}, 3,
        "lies in the history folder");
  }
  ExpectRefused({"--json", entry + "/pass.json", File("sample.csv"), File("sample.bin")}, 3,
                "lies in the history folder");
  // Reached through a link to the folder, or a hard link to one of its files.
  fs::create_directory_symlink(File("sample.bin.history"), File("h"));
  fs::create_hard_link(entry + "/report.txt", File("copy.txt"));
  ExpectRefused({"--dry-run", "--report", File("h/x.txt"), File("sample.csv"), File("sample.bin")},
                3, "lies in the history folder");
  ExpectRefused({"--dry-run", "--report", File("copy.txt"), File("sample.csv"), File("sample.bin")},
                3, "lies in the history folder");
}

TEST_F(HarmTest, OptionsOfAPassAreUsageErrorsWithUndoAndHistory) {
  FirstPass();
  ExpectRefused({"--undo", File("sample.bin"), "--dry-run"}, 2,
                "--dry-run does not go with --undo");
  ExpectRefused({"--undo", File("sample.bin"), "--json", "-"}, 2, "--json does not go with --undo");
  ExpectRefused({"--undo", File("sample.bin"), "--report", File("r.txt")}, 2,
                "--report does not go with --undo");
  ExpectRefused({"--history", File("sample.bin"), "--keep-history", "3"}, 2,
                "--keep-history does not go with --history");
  ExpectRefused({"--history", File("sample.bin"), "--target-blm", "120"}, 2,
                "--target-blm does not go with --history");
}

TEST_F(HarmTest, AHistoryThatCannotBeWrittenLeavesTheLastReport) {
  FirstPass();
  fs::remove_all(File("sample.bin.history"));
  tools::WriteFile(File("sample.bin.history"), "in the way");
  // The locks kept there cannot be read, so the pass is refused before it
  // reads a log.
  const std::string inTheWay = "Unable to read the history folder " + File("sample.bin.history") +
                               " (a file of that name is in the way)";
  ExpectRefused({"--target-blm", "118", File("sample.uni"), File("sample.bin")}, 3, inTheWay);
  // An output the refused pass would have created is not left behind.
  ExpectRefused({"--report", File("new.txt"), "--json", File("new.json"), File("sample.uni"),
                 File("sample.bin")},
                3, inTheWay);
}

TEST_F(HarmTest, TrimmingLeavesFoldersTheHistoryDidNotWrite) {
  FirstPass();
  fs::create_directory(File("sample.bin.history/000000-keep"));
  tools::WriteFile(File("sample.bin.history/000000-keep/mine.txt"), "mine");
  fs::create_directory(File("sample.bin.history/000001-notes"));
  // An entry's name but for one character, the last digit of its time.
  const std::string almost = File("sample.bin.history/000009-20261210T08563xZ");
  fs::create_directory(almost);
  tools::WriteFile(almost + "/mine.txt", "mine");
  ASSERT_EQ(
      Cli({"--keep-history", "1", "--target-blm", "118", File("sample.uni"), File("sample.bin")})
          .exitStatus,
      0);
  EXPECT_EQ(tools::ReadFile(File("sample.bin.history/000000-keep/mine.txt")), "mine");
  EXPECT_TRUE(fs::is_directory(File("sample.bin.history/000001-notes")));
  EXPECT_EQ(tools::ReadFile(almost + "/mine.txt"), "mine");
  EXPECT_EQ(Cli({"--history", File("sample.bin")}).out.find("#9 "), std::string::npos);
  // Of the two passes only the newest entry is kept.
  int entries = 0;
  for (const auto& e : fs::directory_iterator(File("sample.bin.history"))) {
    entries += e.path().filename().string().size() == 23 && e.path() != almost ? 1 : 0;
  }
  EXPECT_EQ(entries, 1);
}

TEST_F(HarmTest, ALinkedImageKeepsTheHistoryOfTheImage) {
  fs::create_symlink("sample.bin", File("link.bin"));
  const std::string original = tools::ReadFile(File("sample.bin"));
  ASSERT_EQ(Cli({File("sample.uni"), File("link.bin")}).exitStatus, 0);
  EXPECT_FALSE(fs::exists(File("link.bin.history")));
  EXPECT_TRUE(fs::is_directory(File("sample.bin.history")));
  const ProcessResult undo = Cli({"--undo", File("sample.bin")});
  EXPECT_EQ(undo.exitStatus, 0) << undo.err;
  EXPECT_EQ(tools::ReadFile(File("sample.bin")), original);
}

TEST_F(HarmTest, AJsonThatCannotBeWrittenStopsThePassBeforeTheImage) {
  FirstPass();
  ExpectRefused({"--json", "/no/such/dir/plan.json", "--target-blm", "118", File("sample.uni"),
                 File("sample.bin")},
                3, "Unable to open JSON file /no/such/dir/plan.json");
}

// The JSON is written after the report: when it fails, the report the pass
// had already rewritten holds the last real pass's bytes again, and nothing
// else changed.
TEST_F(HarmTest, AJsonThatFailsAfterTheReportPutsTheOldReportBack) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this machine";
  FirstPass();
  const std::map<std::string, std::string> before = Snapshot();
  const ProcessResult run =
      Cli({"--json", "/dev/full", "--target-blm", "118", File("sample.uni"), File("sample.bin")});
  EXPECT_EQ(run.exitStatus, 3) << run.err;
  EXPECT_NE(run.err.find("Unable to write JSON file /dev/full"), std::string::npos) << run.err;
  EXPECT_TRUE(Snapshot() == before) << "changed by a failed run";
}

TEST_F(HarmTest, AHistoryOutOfReachIsAnErrorNotAnEmptyHistory) {
  FirstPass();
  const std::string history = File("sample.bin.history");
  fs::permissions(File("sample.bin"), fs::perms::all);
  fs::permissions(history, fs::perms::none);
  // Permission bits hold only for a user other than root.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--history", File("sample.bin")},
        std::vector<std::string>{"--undo", File("sample.bin")}}) {
    const ProcessResult result = Cli(args, true);
    if (result.exitStatus == testing::kCouldNotDropPrivileges) {
      ADD_FAILURE() << "could not run as an unprivileged user";
      break;
    }
    EXPECT_EQ(result.exitStatus, 3) << result.err;
    EXPECT_NE(result.err.find("Unable to read the history folder"), std::string::npos)
        << result.err;
  }
  fs::permissions(history, fs::perms::all);
  // A plain file in the folder's place.
  fs::remove_all(history);
  tools::WriteFile(history, "not a folder");
  ExpectRefused({"--history", File("sample.bin")}, 3, "a file of that name is in the way");
  ExpectRefused({"--undo", File("sample.bin")}, 3, "a file of that name is in the way");
}

TEST_F(HarmTest, ADamagedEntryIsListedAndNotSkippedByUndo) {
  FirstPass();
  ASSERT_EQ(Cli({"--target-blm", "118", File("sample.uni"), File("sample.bin")}).exitStatus, 0);
  std::string newest;
  for (const auto& e : fs::directory_iterator(File("sample.bin.history"))) {
    // The entries, not the baseline kept beside them.
    if (std::isdigit(e.path().filename().string()[0])) newest = std::max(newest, e.path().string());
  }
  tools::WriteFile(newest + "/manifest.txt", "overwritten");
  const ProcessResult listing = Cli({"--history", File("sample.bin")});
  EXPECT_EQ(listing.exitStatus, 0);
  EXPECT_NE(listing.out.find("#2  "), std::string::npos) << listing.out;
  EXPECT_NE(listing.out.find("damaged: its manifest cannot be read"), std::string::npos);
  ExpectRefused({"--undo", File("sample.bin")}, 3, "#2 of");
  const ProcessResult forced = Cli({"--force", "--undo", File("sample.bin")});
  EXPECT_EQ(forced.exitStatus, 0) << forced.err;
  EXPECT_NE(forced.err.find("skipped the damaged entry #2"), std::string::npos) << forced.err;
  EXPECT_EQ(tools::ReadFile(File("sample.bin")), tools::ReadFile(kExamples + "/sample.bin"));
}

// A pass is undone only by an undo entry that can be read whole.
TEST_F(HarmTest, ADamagedUndoTakesNoPassBack) {
  FirstPass();
  ASSERT_EQ(Cli({"--target-blm", "118", File("sample.uni"), File("sample.bin")}).exitStatus, 0);
  ASSERT_EQ(Cli({"--undo", File("sample.bin")}).exitStatus, 0);
  const std::string undone = "    image: changed since (undone)\n";
  EXPECT_NE(Cli({"--history", File("sample.bin")}).out.find(undone), std::string::npos);
  std::string newest;
  for (const auto& e : fs::directory_iterator(File("sample.bin.history"))) {
    if (std::isdigit(e.path().filename().string()[0])) newest = std::max(newest, e.path().string());
  }
  fs::remove(newest + "/image.bin");
  const std::string listing = Cli({"--history", File("sample.bin")}).out;
  EXPECT_NE(listing.find("damaged: its saved image cannot be read"), std::string::npos) << listing;
  EXPECT_EQ(listing.find(undone), std::string::npos) << listing;
}

TEST_F(HarmTest, ATargetNoBlmCanHaveIsRefused) {
  FirstPass();
  for (const char* target : {"1240", "-1", "256"}) {
    ExpectRefused({"--target-blm", target, File("sample.uni"), File("sample.bin")}, 1,
                  "is not a BLM value");
  }
  // The edges and what an empty field reads as are tuned as always.
  for (const char* target : {"0", "255", "abc"}) {
    const ProcessResult result =
        Cli({"--dry-run", "--target-blm", target, File("sample.uni"), File("sample.bin")});
    EXPECT_EQ(result.exitStatus, 0) << target << result.err;
  }
}

}  // namespace
}  // namespace trimwright
