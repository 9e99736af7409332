// trimwright-cli run as a process: its standard output, messages, report,
// rewritten image and exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "app/TuningRun.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/Golden.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/ImageWriter.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

using testing::CapturedOutput;
using testing::MatchesGolden;
using testing::ProcessResult;
using testing::ReplaceAll;
using testing::RunProcess;
using testing::TempDir;
using tools::CalibrationImage;
using tools::ImageLayout;

const std::string kCli = TRIMWRIGHT_CLI_PATH;
const std::string kExamples = TRIMWRIGHT_EXAMPLES_DIR;
const std::string kPassStages = TRIMWRIGHT_PASS_STAGES_PATH;

class CliTest : public ::testing::Test {
 protected:
  CliTest() {
    for (const char* ext : {"bin", "lt1", "uni", "csv", "txt"}) {
      tools::WriteFile(dir_.File(std::string("sample.") + ext),
                       tools::ReadFile(kExamples + "/sample." + ext));
    }
  }

  ProcessResult Cli(std::vector<std::string> args, const std::vector<std::string>& env = {}) {
    args.insert(args.begin(), kCli);
    return RunProcess(args, env);
  }

  TempDir dir_;
};

TEST_F(CliTest, TunesTheSampleLikeTheRunItself) {
  const ProcessResult result = Cli({dir_.File("sample.uni"), dir_.File("sample.bin")});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.err, "trimwright-cli: Processing complete\n");
  EXPECT_TRUE(MatchesGolden(ReplaceAll(result.out, dir_.path(), "<dir>"),
                            "sample_run.stdout.expected.txt"));
  const std::string report = tools::ReadFile(dir_.File("sample_trw.txt"));
  EXPECT_TRUE(MatchesGolden(report, "sample_run.report.expected.txt"));

  // The same run in this process on a second copy gives the same bytes.
  TempDir other;
  tools::WriteFile(other.File("car.bin"), tools::ReadFile(kExamples + "/sample.bin"));
  class Fields : public RunWindow {
    void ShowMessage(const std::string&) override {}
    void SetProgress(int) override {}
    void RepaintProgress() override {}
  } window;
  {
    CapturedOutput quiet;
    TuningRun(window).Perform(RunRequest::ForOneLog(kExamples + "/sample.uni",
                                                    other.File("car.bin"),
                                                    other.File("car_trw.txt"), "124", "3000"));
  }
  const std::string tuned = tools::ReadFile(dir_.File("sample.bin"));
  EXPECT_EQ(tuned, tools::ReadFile(other.File("car.bin")));
  EXPECT_EQ(report, tools::ReadFile(other.File("car_trw.txt")));
  EXPECT_NE(tuned, tools::ReadFile(kExamples + "/sample.bin"));
  const CalibrationImage image = CalibrationImage::FromBytes(tuned, ImageLayout::kBin);
  EXPECT_EQ(image.StoredChecksum(), image.ComputedChecksum());
}

TEST_F(CliTest, OptionsReachTheRun) {
  const ProcessResult result =
      Cli({"--target-blm", "130", "--rpm-limit", "9000", "--report", dir_.File("pass1.txt"),
           dir_.File("sample.csv"), dir_.File("sample.lt1")});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.err,
            "trimwright-cli: It is recommended to tune for a blm of 118-124\n"
            "trimwright-cli: Cannot tune above 7000 rpm\n"
            "trimwright-cli: Processing complete\n");
  const std::string report = tools::ReadFile(dir_.File("pass1.txt"));
  EXPECT_NE(report.find("cell[6500][100]"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("sample_trw.txt")));
  EXPECT_NE(result.out.find("Warning - you are tuning for a blm of 130."), std::string::npos);
}

TEST_F(CliTest, NegativeAndEmptyTextsGoThroughAsTyped) {
  const ProcessResult result = Cli(
      {"--rpm-limit", "-5", "--target-blm", "", dir_.File("sample.txt"), dir_.File("sample.bin")});
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.err,
            "trimwright-cli: It is recommended to tune for a blm of 118-124\n"
            "trimwright-cli: Processing complete\n");
  const std::string report = tools::ReadFile(dir_.File("sample_trw.txt"));
  EXPECT_EQ(report.find("cell["), std::string::npos);
  EXPECT_EQ(tools::ReadFile(dir_.File("sample.bin")), tools::ReadFile(kExamples + "/sample.bin"));
}

struct ExitCase {
  std::vector<std::string> args;  // "@" stands for the temporary folder
  int status;
  std::string errStart;
};

class CliExitTest : public CliTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(CliExitTest, ExitStatusSaysHowTheRunEnded) {
  std::vector<std::string> args;
  for (const std::string& a : GetParam().args) args.push_back(ReplaceAll(a, "@", dir_.path()));
  const ProcessResult result = Cli(args);
  EXPECT_EQ(result.exitStatus, GetParam().status) << result.err;
  EXPECT_TRUE(ReplaceAll(result.err, dir_.path(), "@").starts_with(GetParam().errStart))
      << result.err;
  EXPECT_EQ(tools::ReadFile(dir_.File("sample.bin")), tools::ReadFile(kExamples + "/sample.bin"));
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, CliExitTest,
    ::testing::Values(
        ExitCase{{"@/sample.Uni", "@/sample.bin"},
                 1,
                 "trimwright-cli: I don't know what kind of logged data file this is\n"},
        ExitCase{{"@/sample.uni", "@/sample.Bin"}, 1, "trimwright-cli: Unknown type of pcm file\n"},
        ExitCase{{"", "@/sample.bin"}, 1, "trimwright-cli: Please enter a datamaster file\n"},
        ExitCase{{"--report", "", "@/sample.uni", "@/sample.bin"},
                 1,
                 "trimwright-cli: Please enter a logfile name\n"},
        ExitCase{{}, 2, "LOGFILE is required"}, ExitCase{{"@/sample.uni"}, 2, "IMAGE is required"},
        ExitCase{{"--bogus", "@/sample.uni", "@/sample.bin"}, 2, "The following argument"},
        ExitCase{{"@/sample.uni", "@/missing.bin"},
                 3,
                 "trimwright-cli: error: Unable to open file @/missing.bin\n"},
        ExitCase{{"@/missing.uni", "@/sample.bin"},
                 3,
                 "trimwright-cli: error: Unable to open datamaster file @/missing.uni\n"},
        ExitCase{{"@/missing.csv", "@/sample.bin"}, 3, "Unable to open input file @/missing.csv\n"},
        ExitCase{{"--report", "@/sample.bin", "@/sample.uni", "@/sample.bin"},
                 3,
                 "trimwright-cli: error: The report file @/sample.bin is the calibration image"},
        ExitCase{{"--report", "@/no/folder/r.txt", "@/sample.uni", "@/sample.bin"},
                 3,
                 "Unable to open logfile @/no/folder/r.txt\n"}));

// record_fates as the JSON must hold it: every key, zeros included.
nlohmann::json Fates(int read, const std::map<std::string, int>& rejected, int notWarm,
                     int highThrottle, int outside, const std::map<std::string, int>& used) {
  nlohmann::json rules;
  for (const char* rule :
       {"unreadable", "cut_off", "rpm", "map", "blm_left", "blm_right", "aux_left", "aux_right",
        "throttle", "temperature", "blm_cell", "no_fuel_trim_cell"}) {
    rules[rule] = rejected.contains(rule) ? rejected.at(rule) : 0;
  }
  nlohmann::json cells;
  for (int cell = 0; cell <= 16; ++cell) {
    const std::string key = std::to_string(cell);
    cells[key] = used.contains(key) ? used.at(key) : 0;
  }
  return {{"read", read},
          {"rejected", rules},
          {"not_warm", notWarm},
          {"high_throttle", highThrottle},
          {"outside_aux_window", outside},
          {"used", cells}};
}

// Records of every fate: each counts once, under the first reason that left
// it out (rules in their order, a cold record in cell 18 as not warm, one in
// cell 17 at high throttle as high throttle), per log and in total, in the
// JSON and the grid.
TEST_F(CliTest, EveryRecordCountsOnceByItsFate) {
  auto with = [](auto change) {
    tools::FreescanRecord record;  // warm, part throttle, cell 5
    change(record);
    return tools::FreescanLine(record);
  };
  using R = tools::FreescanRecord&;
  // Record k of these breaks rule k and every rule after it, so it counts
  // under rule k if the rules are taken in their order.
  const std::vector<void (*)(R)> breaks = {
      [](R r) { r.rpm = "450"; },      [](R r) { r.mapBar = "1.06"; },
      [](R r) { r.blmLeft = "256"; },  [](R r) { r.blmRight = "-1"; },
      [](R r) { r.auxLeft = "300"; },  [](R r) { r.auxRight = "999"; },
      [](R r) { r.throttle = "101"; }, [](R r) { r.temperature = "151"; },
      [](R r) { r.blmCell = "19"; }};
  std::string csv = tools::FreescanHeader() + "\n";
  for (std::size_t first = 0; first < breaks.size(); ++first) {
    csv += with([&](R r) {
             for (std::size_t k = first; k < breaks.size(); ++k) breaks[k](r);
           }) +
           "\n";
  }
  for (const std::string& line :
       {with([](R) {}), std::string("1,2,3"), with([](R r) { r.blmCell = "17"; }),
        with([](R r) { r.temperature = "50"; }), with([](R r) {
          r.temperature = "60";
          r.blmCell = "18";
        }),
        with([](R r) { r.temperature = "76"; }), with([](R r) { r.throttle = "80"; }),
        with([](R r) {
          r.throttle = "70";
          r.blmCell = "17";
        }),
        with([](R r) { r.auxLeft = "150"; }), with([](R r) {
          r.blmCell = "16";
          r.rpm = "800";
          r.throttle = "80";
        }),
        with([](R r) {
          r.rpm = "9000";
          r.blmCell = "25";
        })}) {
    csv += line + "\n";
  }
  tools::WriteFile(dir_.File("drive.csv"), csv);
  tools::UniRecord slow;
  slow.rpmCounts = 19;  // 475 rpm
  tools::WriteFile(dir_.File("drive.uni"), tools::UniLog({tools::UniRecord{}, slow}));

  const ProcessResult result =
      Cli({"--dry-run", "--json", "-", "--grid", "--aux-window", "118-138", dir_.File("drive.csv"),
           dir_.File("drive.uni"), dir_.File("sample.bin")});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const auto plan = nlohmann::json::parse(result.out);
  const std::map<std::string, int> rules{{"unreadable", 1}, {"map", 1},
                                         {"blm_left", 1},   {"blm_right", 1},
                                         {"aux_left", 1},   {"aux_right", 1},
                                         {"throttle", 1},   {"temperature", 1},
                                         {"blm_cell", 1},   {"no_fuel_trim_cell", 1}};
  std::map<std::string, int> csvRules = rules;
  csvRules["rpm"] = 2;
  std::map<std::string, int> allRules = rules;
  allRules["rpm"] = 3;
  EXPECT_EQ(plan["logs"][0]["record_fates"], Fates(20, csvRules, 3, 2, 1, {{"5", 1}, {"16", 1}}));
  EXPECT_EQ(plan["logs"][1]["record_fates"], Fates(2, {{"rpm", 1}}, 0, 0, 0, {{"5", 1}}));
  EXPECT_EQ(plan["record_fates"], Fates(22, allRules, 3, 2, 1, {{"5", 2}, {"16", 1}}));
  // The same records as the plan's other counts see them.
  EXPECT_EQ(plan["trim_cells"][5]["records"], 2);
  EXPECT_EQ(plan["trim_cells"][16]["records"], 1);
  EXPECT_EQ(plan["limits"]["aux_filtered_records"], 1);

  const std::string grid = result.err.substr(result.err.find("Records by fate"));
  EXPECT_NE(grid.find("        20        12         3         2         1         2  " +
                      dir_.File("drive.csv") + "\n" +
                      "         2         1         0         0         0         1  " +
                      dir_.File("drive.uni") + "\n" +
                      "        22        13         3         2         1         3  (all logs)\n" +
                      "  rejected by rule: unreadable 1, rpm 3, map 1, blm_left 1, blm_right 1, "
                      "aux_left 1, aux_right 1, throttle 1, temperature 1, blm_cell 1, "
                      "no_fuel_trim_cell 1\n"),
            std::string::npos)
      << grid;
  EXPECT_NE(grid.find(" 5=2 "), std::string::npos) << grid;
  EXPECT_NE(grid.find(" 16 (idle)=1\n"), std::string::npos) << grid;
}

TEST_F(CliTest, HelpAndVersionAnswerOnStandardOutput) {
  const ProcessResult help = Cli({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_NE(help.out.find("Usage: trimwright-cli [OPTIONS] LOGFILE IMAGE"), std::string::npos);
  EXPECT_NE(help.out.find("--target-blm TEXT=124"), std::string::npos);
  const ProcessResult version = Cli({"--version"});
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.out, "trimwright-cli 1.33\n");
}

// The bench's stage timer: every stage of a pass over each sample log, in
// order, each with a time, and the image left as it was.
TEST(PassStagesTest, TimesEveryStageOfEachSampleLogWithoutWritingTheImage) {
  TempDir dir;
  const std::string image = dir.File("car.bin");
  std::filesystem::copy_file(kExamples + "/sample.bin", image);
  const std::string before = tools::ReadFile(image);
  for (const std::string format : {"uni", "csv", "txt"}) {
    const ProcessResult run =
        RunProcess({kPassStages, "--reps", "2", kExamples + "/sample." + format, image});
    ASSERT_EQ(run.exitStatus, 0) << format << ": " << run.err;
    std::istringstream lines(run.out);
    std::vector<std::string> stages;
    std::string stage;
    double ms = -1.0;
    while (lines >> stage >> ms) {
      stages.push_back(stage);
      EXPECT_GE(ms, 0.0) << format << " " << stage;
      if (stage == "count") {
        EXPECT_EQ(ms == 0.0, format == "uni") << format;
      }
    }
    EXPECT_TRUE(lines.eof()) << format << ": " << run.out;
    EXPECT_EQ(stages, (std::vector<std::string>{"count", "read", "reader", "walk", "plan"}))
        << format;
  }
  EXPECT_EQ(tools::ReadFile(image), before);
  EXPECT_EQ(RunProcess({kPassStages, kExamples + "/README.md", image}).exitStatus, 1);
}

}  // namespace
}  // namespace trimwright
