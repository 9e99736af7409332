// The bench (scripts/bench, tools/pass_bench): its median, its report's
// layout on fixed figures, the measuring of one command, and a whole run on
// the sample logs.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/TrimwrightError.h"
#include "tests/support/Golden.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/BenchReport.h"
#include "tools/LogWriter.h"
#include "tools/Median.h"
#include "tools/TimedRun.h"

namespace trimwright {
namespace {

using testing::MatchesGolden;
using testing::ProcessResult;
using testing::RunProcess;
using testing::TempDir;
using tools::BenchReport;
using tools::LogTiming;
using tools::StageTiming;

const std::string kExamples = TRIMWRIGHT_EXAMPLES_DIR;

TEST(BenchTest, MedianIsTheMiddleValueOrTheMeanOfTheTwoMiddleOnes) {
  EXPECT_EQ(tools::Median({7}), 7);
  EXPECT_EQ(tools::Median({3, 1, 2}), 2);
  EXPECT_EQ(tools::Median({40, 10, 30, 20}), 25);
  EXPECT_EQ(tools::Median({5, 5, 1, 9, 5}), 5);
  EXPECT_EQ(tools::RecordCountLabel(1000000), "1M");
  EXPECT_EQ(tools::RecordCountLabel(10000000), "10M");
  EXPECT_EQ(tools::RecordCountLabel(500000), "500k");
  EXPECT_EQ(tools::RecordCountLabel(420), "420");
}

LogTiming Log(const std::string& format, std::int64_t records, std::int64_t bytes, double pass,
              double cpu, double floor, std::optional<double> reference, std::int64_t peakKiB) {
  return LogTiming{format, records, bytes, pass, cpu, floor, reference, peakKiB};
}

BenchReport FixedReport(bool large) {
  BenchReport report;
  report.machine = {2, "Test CPU @ 2.0GHz", 24641420, "6.1.0-test"};
  report.records = 1000000;
  report.reps = large ? 5 : 3;
  report.largeReps = 3;
  report.largeReferenceReps = 1;
  report.stages = {{"uni", 0.0, 16.811, 23.322, 14.213, 1.104, 15.412},
                   {"csv", 9.512, 25.013, 97.344, 11.706, 1.013, 14.311},
                   {"txt", 9.204, 22.702, 123.31, 11.688, 0.998, 14.102}};
  if (large) {
    report.loadBefore = "0.96 1.03 1.10";
    report.loadAfter = "1.24 1.09 1.11";
    report.otherWorkShare = 2.4 / 40;
    report.largeRecords = 10000000;
    report.logs = {Log("uni", 1000000, 128000000, 52846, 60123, 19812, 1247311, 20312),
                   Log("csv", 1000000, 101912345, 141277, 216409, 19934, 706385, 28906),
                   Log("txt", 1000000, 95812000, 166213, 271388, 19207, 831064, 28711),
                   Log("uni", 10000000, 1280000000, 317402, 467011, 123117, 11745200, 151367),
                   Log("csv", 10000000, 1018712345, 1554048, 1917206, 143262, 17359111, 233496),
                   Log("txt", 10000000, 958420000, 1828343, 2459317, 132981, 18255004, 233496)};
  } else {
    report.loadBefore = "0.10 0.20 0.30";
    report.loadAfter = "0.40 0.50 0.60";
    report.otherWorkShare = -0.01;
    report.logs = {Log("uni", 1000000, 128000, 286, 701, 95, std::nullopt, 5120),
                   Log("csv", 1000000, 101912, 3312, 4207, 203, std::nullopt, 109376),
                   Log("txt", 1000000, 95812, 3300, 3019, 1100, std::nullopt, 109375)};
  }
  return report;
}

// The expected texts are what the bench's earlier shell and awk code printed
// for the same figures. They hold every limit at its edge: a pass exactly 3x
// the floor (PASS) and 1 us over (FAIL), exactly 5x faster than the
// reference and 1 us short, peak memory exactly at 112 MB and 1 KiB over, a
// 10M pass exactly 11x the 1M pass and 1 us over; no reference reader; other
// work above 5 % and below zero.
TEST(BenchTest, ReportKeepsItsColumnsAndTargetsAtEveryLimitsEdge) {
  EXPECT_TRUE(
      MatchesGolden(tools::FormatBenchReport(FixedReport(true)), "bench_report_full.expected.txt"));
  EXPECT_TRUE(MatchesGolden(tools::FormatBenchReport(FixedReport(false)),
                            "bench_report_quick.expected.txt"));
}

TEST(BenchTest, TimedRunMeasuresTheCommandAndNamesItWhenItFails) {
  TempDir dir;
  const std::string out = dir.File("out");
  const std::string err = dir.File("err");
  const tools::RunCost sleep = tools::RunTimed({"sleep", "0.2"}, out, err);
  EXPECT_GE(sleep.wallMicros, 200000);
  EXPECT_LT(sleep.cpuMicros, sleep.wallMicros / 2);
  EXPECT_GT(sleep.peakKiB, 0);

  // Standard output goes to the file named; 200 MB copied through a pipe by
  // the shell's own children, whose CPU time counts with the command's.
  const tools::RunCost copy = tools::RunTimed(
      {"sh", "-c", "echo said; head -c 200000000 /dev/zero | cat >/dev/null"}, out, err);
  EXPECT_EQ(tools::ReadFile(out), "said\n");
  EXPECT_GT(copy.cpuMicros, 5000);

  try {
    tools::RunTimed({"sh", "-c", "echo broken >&2; exit 3"}, out, err);
    ADD_FAILURE() << "a failing command was taken as measured";
  } catch (const TrimwrightError& e) {
    EXPECT_EQ(std::string(e.what()),
              "failed (exit status 3): sh -c echo broken >&2; exit 3\nbroken\n");
  }
  EXPECT_THROW(tools::RunTimed({"sh", "-c", "kill -TERM $$"}, out, err), TrimwrightError);
  EXPECT_THROW(tools::RunTimed({"/no/such/program"}, out, err), TrimwrightError);
}

// A whole bench on the sample logs, as scripts/bench calls it: every log in
// both tables and the three targets of each format, or a status that says
// what went wrong.
TEST(BenchTest, MeasuresTheSampleLogsAndPrintsEveryRowAndTarget) {
  TempDir dir;
  const std::string logs = dir.File("logs");
  std::filesystem::create_directory(logs);
  for (const std::string format : {"uni", "csv", "txt"}) {
    std::filesystem::copy_file(kExamples + "/sample." + format, logs + "/420." + format);
  }
  std::vector<std::string> argv = {TRIMWRIGHT_PASS_BENCH_PATH,
                                   "--cli",
                                   TRIMWRIGHT_CLI_PATH,
                                   "--stages",
                                   TRIMWRIGHT_PASS_STAGES_PATH,
                                   "--reference",
                                   TRIMWRIGHT_REFERENCE_READ_PATH,
                                   "--image",
                                   kExamples + "/sample.bin",
                                   "--logs",
                                   logs,
                                   "--scratch",
                                   dir.path(),
                                   "--records",
                                   "420",
                                   "--reps",
                                   "1"};
  const ProcessResult run = RunProcess(argv);
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_NE(run.out.find("Times are medians of 1 runs (the floor: 3)"), std::string::npos);
  for (const std::string format : {"uni", "csv", "txt"}) {
    EXPECT_NE(run.err.find("== " + format + ", 420 records: 1 repetitions"), std::string::npos);
    EXPECT_NE(run.out.find("\n" + format + "          420 "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\n" + format + "    "), run.out.rfind("\n" + format + "    "))
        << "no stage row for " << format;
    for (const std::string target :
         {"420: pass within 3x the floor (", "420: at least 5x faster than the reference (",
          "420: peak memory at most 80 B/record + 32 MB ("}) {
      EXPECT_NE(run.out.find("  " + format + " " + target), std::string::npos)
          << format << target << "\n"
          << run.out;
    }
  }
  // The scratch copies go with the run: only the logs' folder is left.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  std::vector<std::string> notLarger(argv.begin(), argv.end() - 4);
  notLarger.insert(notLarger.end(), {"--records", "420", "--large-records", "420", "--reps", "1"});
  EXPECT_EQ(RunProcess(notLarger).exitStatus, 2);
  std::vector<std::string> missing(argv.begin(), argv.end() - 4);
  missing.insert(missing.end(), {"--records", "420", "--large-records", "4200", "--reps", "1"});
  const ProcessResult noLog = RunProcess(missing);
  EXPECT_EQ(noLog.exitStatus, 1);
  EXPECT_EQ(noLog.err, "pass_bench: no log " + logs + "/4200.uni\n");
}

}  // namespace
}  // namespace trimwright
