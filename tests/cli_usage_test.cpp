// trimwright-cli's commands and the options each accepts: a usage error
// names what it refuses, exactly, whatever command it comes with, and
// changes nothing; the image commands take their image anywhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/Golden.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

using testing::ProcessResult;
using testing::ReplaceAll;
using testing::RunProcess;
using testing::TempDir;

const std::string kCli = TRIMWRIGHT_CLI_PATH;
const std::string kExamples = TRIMWRIGHT_EXAMPLES_DIR;

class CliUsageTest : public ::testing::Test {
 protected:
  CliUsageTest() {
    for (const char* name : {"sample.uni", "sample.bin"}) {
      tools::WriteFile(dir_.File(name), tools::ReadFile(kExamples + "/" + name));
    }
    tools::WriteFile(dir_.File("car.bin"), tools::ReadFile(kExamples + "/sample.bin"));
  }

  // args with "@" standing for the folder.
  ProcessResult Cli(const std::vector<std::string>& args) {
    std::vector<std::string> argv{kCli};
    for (const std::string& a : args) argv.push_back(ReplaceAll(a, "@", dir_.path()));
    return RunProcess(argv);
  }

  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir_.path())) {
      files[e.path().string()] = e.is_regular_file() ? tools::ReadFile(e.path().string()) : "";
    }
    return files;
  }

  TempDir dir_;
};

struct UsageCase {
  std::vector<std::string> args;
  std::string error;  // the line before "Run with --help ..."
};

class CliUsageErrorTest : public CliUsageTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(CliUsageErrorTest, NamesWhatItRefusesAndChangesNothing) {
  const auto before = Snapshot();
  const ProcessResult result = Cli(GetParam().args);
  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, GetParam().error + "\nRun with --help for more information.\n");
  EXPECT_TRUE(Snapshot() == before);
}

INSTANTIATE_TEST_SUITE_P(
    EveryCommand, CliUsageErrorTest,
    ::testing::Values(
        // The image commands: one of them, one IMAGE, their own options.
        UsageCase{{"--history", "@/car.bin", "--undo"},
                  "--history, --undo and --locks exclude each other"},
        UsageCase{{"--locks", "@/car.bin", "@/sample.uni"},
                  "--locks takes one IMAGE and no LOGFILE"},
        UsageCase{{"--undo"}, "--undo takes one IMAGE and no LOGFILE"},
        UsageCase{{"--locks", "@/car.bin", "--keep-history", "3"},
                  "--keep-history does not go with --locks"},
        UsageCase{{"--undo", "@/car.bin", "--min-records", "0"},
                  "--min-records does not go with --undo"},
        // Of several refused, the one always named first.
        UsageCase{{"--undo", "@/car.bin", "--max-total-change", "5", "--grid"},
                  "--grid does not go with --undo"},
        UsageCase{{"--history", "@/car.bin", "--lock", "1200:50", "--keep-history", "3", "--force"},
                  "--keep-history does not go with --history"},
        UsageCase{{"--lock", "1200:50", "@/car.bin", "--max-total-change", "5", "--force"},
                  "--force does not go with --lock or --unlock without a LOGFILE"},
        UsageCase{{"--check", "@/car.bin", "--json", "-"},
                  "--check takes images and -q only, no other option or LOGFILE"},
        UsageCase{{"@/sample.uni", "--check", "@/car.bin"},
                  "--check takes images and -q only, no other option or LOGFILE"},
        UsageCase{{"@/sample.uni", "--compare", "@/car.bin", "@/sample.bin"},
                  "--compare takes two images, --json, --ignore-checksum and -q only"},
        UsageCase{{"--force", "@/sample.uni", "@/car.bin"}, "--force goes with --undo only"},
        UsageCase{{"--unlock", "1200:50"},
                  "--lock and --unlock need the IMAGE whose cells they lock"},
        UsageCase{{"@/car.bin"}, "IMAGE is required"},
        UsageCase{{"--min-records", "0", "@/sample.uni", "@/car.bin"},
                  "--min-records: needs a whole number of records of at least 1, got '0'"},
        // A range is read before any command looks at the rest.
        UsageCase{{"--check", "@/car.bin", "--lock", "1200"},
                  "--lock: needs RPM_LO-RPM_HI:KPA_LO-KPA_HI, whole numbers with each low end not "
                  "above its high end (such as 1200-1600:50-60, or 1200:50 for one cell), got "
                  "'1200'"}));

// The image after or before the option, -q taken and changing nothing.
TEST_F(CliUsageTest, ImageCommandsTakeTheirImageAnywhere) {
  ASSERT_EQ(Cli({"@/sample.uni", "@/car.bin"}).exitStatus, 0);
  const ProcessResult after = Cli({"--history", "@/car.bin"});
  ASSERT_EQ(after.exitStatus, 0) << after.err;
  const ProcessResult before = Cli({"-q", "@/car.bin", "--history"});
  EXPECT_EQ(before.exitStatus, 0) << before.err;
  EXPECT_EQ(before.out, after.out);
  EXPECT_NE(after.out.find("#1  "), std::string::npos) << after.out;

  const ProcessResult locked = Cli({"-q", "@/car.bin", "--lock", "1200:50"});
  EXPECT_EQ(locked.exitStatus, 0) << locked.err;
  EXPECT_EQ(Cli({"@/car.bin", "--locks", "-q"}).out, locked.out);
  EXPECT_NE(locked.out.find("1200 rpm: 50"), std::string::npos) << locked.out;

  const ProcessResult undone = Cli({"@/car.bin", "--force", "-q", "--undo"});
  EXPECT_EQ(undone.exitStatus, 0) << undone.err;
  EXPECT_EQ(tools::ReadFile(dir_.File("car.bin")), tools::ReadFile(kExamples + "/sample.bin"));
  // Nothing left to undo: the run ends early, not with a usage error.
  EXPECT_EQ(Cli({"--undo", "--force", "@/car.bin"}).exitStatus, 1);
}

}  // namespace
}  // namespace trimwright
