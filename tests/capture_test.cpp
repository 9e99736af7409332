// Whole captures against the simulated engine computer in simulated time:
// record for record through every line fault, on both sides of the 500 ms and
// 5 s rules, the limits and the stop, the status, and the log's promises.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "capture/CaptureSession.h"
#include "capture/StopSignal.h"
#include "capture/StreamCsv.h"
#include "common/TrimwrightError.h"
#include "tests/support/TempDir.h"
#include "tools/EcuSimulator.h"
#include "tools/SimulatedLine.h"

namespace trimwright {
namespace {

using std::chrono::milliseconds;
using testing::TempDir;
using tools::EcuFaults;
using tools::EcuSimulator;
using tools::SimulatedLine;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
  return fields;
}

// Records every status and can ask for a stop at a given record.
class Watcher : public CaptureObserver {
 public:
  void OnStatus(const CaptureStatus& status) override {
    last = status;
    if (status.records > lastRecords) recordTimes.push_back(status.elapsed);
    lastRecords = status.records;
    if (stop && stopAt > 0 && status.records >= stopAt) stop->Request();
  }
  CaptureStatus last;
  std::uint64_t lastRecords = 0;
  std::vector<milliseconds> recordTimes;
  StopSignal* stop = nullptr;
  std::uint64_t stopAt = 0;
};

// A capture into a scratch folder from a simulated engine computer in
// simulated time.
struct Bench {
  explicit Bench(const EcuFaults& faults = {}, const SimulatedLine::Timing& timing = {})
      : ecu(tools::MakeSampleImage(), 1, 420, faults), line(ecu, clock, timing) {
    ecu.SetRecordSink([this](const std::string& l) { sent.push_back(l); });
  }

  CaptureResult Run(const CaptureLimits& limits, StopSignal* stop = nullptr) {
    watcher.stop = stop;
    CaptureSession session(line, clock, stop, &watcher);
    return session.Run(log, limits, "/dev/simulated");
  }
  std::vector<std::string> Records() const {
    std::vector<std::string> lines = Lines(tools::ReadFile(log));
    EXPECT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), StreamCsvHeader());
    return {lines.begin() + 1, lines.end()};
  }
  std::vector<std::string> SentPrefix(std::size_t n) const {
    return {sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(std::min(n, sent.size()))};
  }

  TempDir dir;
  std::string log = dir.File("capture.csv");
  ManualCaptureClock clock;
  EcuSimulator ecu;
  SimulatedLine line;
  Watcher watcher;
  std::vector<std::string> sent;
};

struct FaultCase {
  const char* name;
  std::vector<const char*> faults;
};

class CaptureFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(CaptureFaultTest, RecordsEveryFrameSentWholeAndNothingElse) {
  EcuFaults faults;
  for (const char* fault : GetParam().faults) faults.Set(fault);
  Bench bench(faults);
  const CaptureResult result = bench.Run({120, milliseconds{0}});
  EXPECT_EQ(result.end, CaptureEnd::kRecords);
  EXPECT_EQ(bench.Records(), bench.SentPrefix(120));
  EXPECT_EQ(bench.ecu.idleRequests().front(), 'S');
  EXPECT_EQ(bench.ecu.idleRequests().back(), 'R');
  EXPECT_TRUE(bench.ecu.IdleTrafficOn());
  const FrameCounts& f = result.status.frames;
  EXPECT_EQ(f.dataFrames, 120u);
  const std::string name = GetParam().name;
  const bool all = name == "All";
  EXPECT_EQ(f.badChecksums > 0, all || name == "Checksum");
  EXPECT_EQ(f.cutFrames > 0, all || name == "Cut" || name == "Garbage");
  EXPECT_EQ(f.garbageBytes > 0, all || name == "Garbage");
  EXPECT_EQ(f.idleFrames > 0, all || name == "Idle");
  EXPECT_EQ(f.otherFrames, 0u);
  // Every request comes back as an echo, the one to stop the idle traffic
  // too, unless the echo is missing.
  const std::uint64_t echoed = bench.ecu.requests() + 1;
  EXPECT_EQ(f.echoes < echoed, all || name == "Echo") << f.echoes << " of " << echoed;
  const std::uint64_t repeats = result.status.repeatedRequests;
  EXPECT_EQ(repeats > 0,
            all || name == "Silence" || name == "Cut" || name == "Checksum" || name == "Stall");
  // No request but the repeats beside one per record (a late answer and the
  // one to its repeat both make records), none after the last record, none
  // while an answer is still on its way: the engine computer sent no frame
  // past the last record.
  EXPECT_LE(bench.ecu.requests(), 120 + repeats);
  EXPECT_EQ(bench.sent.size(), 120u);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CaptureFaultTest,
    ::testing::Values(FaultCase{"None", {}}, FaultCase{"Checksum", {"checksum:7"}},
                      FaultCase{"Cut", {"cut:5"}}, FaultCase{"Garbage", {"garbage:3"}},
                      FaultCase{"Silence", {"silence:9"}}, FaultCase{"Echo", {"echo:2"}},
                      FaultCase{"Idle", {"idle:4"}}, FaultCase{"Stall", {"stall:9"}},
                      FaultCase{"All",
                                {"checksum:7", "cut:11", "garbage:5", "silence:13", "echo:3",
                                 "idle:4", "stall:17"}}),
    [](const ::testing::TestParamInfo<FaultCase>& tested) {
      return std::string(tested.param.name);
    });

TEST(EcuFaultsTest, TakesKindColonWholeNumberFromOne) {
  EcuFaults faults;
  faults.Set("cut:5");
  faults.Set("silence:1");
  EXPECT_EQ(faults.cut, 5);
  EXPECT_EQ(faults.silence, 1);
  faults.Set("stop:2");
  EXPECT_EQ(faults.missedStops, 2);
  for (const char* wrong : {"cut", "cut:", "cut:0", "cut:-1", "cut:5x", "loud:3", ":3"}) {
    EXPECT_THROW(faults.Set(wrong), std::invalid_argument) << wrong;
  }
}

TEST(CaptureSessionTest, KeepsUpWithTheLineAndTalliesTheCells) {
  Bench bench;
  const CaptureResult result = bench.Run({300, milliseconds{0}});
  const CaptureStatus& s = result.status;
  // About 90 ms a frame: the request and its echo, the answer, the pauses.
  EXPECT_GE(s.framesPerSecond, 10.0);
  EXPECT_LE(s.framesPerSecond, 12.0);
  EXPECT_EQ(s.repeatedRequests, 0u);
  std::array<CellTally, CaptureStatus::kCells> cells{};
  std::array<double, CaptureStatus::kCells> left{}, right{};
  for (const std::string& line : bench.Records()) {
    const std::vector<std::string> fields = Fields(line);
    ASSERT_EQ(fields.size(), static_cast<std::size_t>(kStreamCsvColumns));
    const auto cell = static_cast<std::size_t>(std::stoi(fields[8]));
    ++cells[cell].records;
    left[cell] += std::stoi(fields[9]);
    right[cell] += std::stoi(fields[10]);
  }
  for (std::size_t c = 0; c < cells.size(); ++c) {
    SCOPED_TRACE(c);
    EXPECT_EQ(s.cells[c].records, cells[c].records);
    if (cells[c].records == 0) continue;
    const auto n = static_cast<double>(cells[c].records);
    EXPECT_DOUBLE_EQ(s.cells[c].blmLeftAverage, left[c] / n);
    EXPECT_DOUBLE_EQ(s.cells[c].blmRightAverage, right[c] / n);
  }
  const std::vector<std::string> last = Fields(bench.sent.back());
  EXPECT_TRUE(s.haveValues);
  EXPECT_EQ(s.rpm, std::stoi(last[4]));
  EXPECT_EQ(s.blmCell, std::stoi(last[8]));
  EXPECT_EQ(s.blmLeft, std::stoi(last[9]));
  EXPECT_EQ(s.blmRight, std::stoi(last[10]));
  EXPECT_DOUBLE_EQ(s.mapKpa, std::stod(last[17]) * 100);
}

// A frame that cannot be used is asked again as soon as the line is quiet,
// without waiting out the 500 ms.
TEST(CaptureSessionTest, AsksAgainAtOnceAfterAnUnusableFrame) {
  EcuFaults faults;
  faults.Set("checksum:2");
  Bench bench(faults);
  const CaptureResult result = bench.Run({20, milliseconds{0}});
  EXPECT_EQ(bench.Records(), bench.SentPrefix(20));
  EXPECT_GE(result.status.repeatedRequests, 19u);
  // About 90 ms a frame, good or bad, and a quiet gap before and after each
  // repeat; waiting out 500 ms instead would take twice as long.
  EXPECT_LT(result.status.elapsed,
            (20 + result.status.repeatedRequests) * milliseconds{100} +
                2 * result.status.repeatedRequests * CaptureSession::kQuietGap);
}

// After a frame that answered a repeated request the line is let go quiet
// once; the requests after the next frames go out at once again.
TEST(CaptureSessionTest, WaitsForQuietOnlyAfterARepeat) {
  EcuFaults faults;
  faults.Set("checksum:10");
  Bench bench(faults);
  const CaptureResult result = bench.Run({100, milliseconds{0}});
  EXPECT_EQ(bench.Records(), bench.SentPrefix(100));
  const auto repeats = result.status.repeatedRequests;
  EXPECT_GE(repeats, 9u);
  // About 97 ms an exchange here; waiting for quiet before every request
  // after the first repeat takes some 40 % longer.
  EXPECT_LT(result.status.elapsed,
            (100 + repeats) * milliseconds{95} + 2 * repeats * CaptureSession::kQuietGap);
}

// Idle traffic that goes on after the request to stop it (the engine
// computer missed it) is asked to stop again with the next repeated request.
TEST(CaptureSessionTest, AsksAgainToStopIdleTrafficThatGoesOn) {
  EcuFaults faults;
  faults.Set("stop:1");
  faults.Set("silence:10");
  Bench bench(faults);
  const CaptureResult result = bench.Run({30, milliseconds{0}});
  EXPECT_EQ(bench.Records(), bench.SentPrefix(30));
  EXPECT_GT(result.status.frames.idleFrames, 0u);
  EXPECT_EQ(bench.ecu.idleRequests(), "SSR");
}

TEST(CaptureSessionTest, EndsAfterTheTimeOrWhenAskedToStop) {
  Bench timed;
  const CaptureResult result = timed.Run({0, milliseconds{2000}});
  EXPECT_EQ(result.end, CaptureEnd::kDuration);
  EXPECT_EQ(result.status.elapsed, milliseconds{2000});
  EXPECT_EQ(timed.Records(), timed.SentPrefix(timed.Records().size()));
  EXPECT_GE(timed.Records().size(), 20u);
  EXPECT_EQ(timed.ecu.idleRequests(), "SR");

  Bench stopped;
  StopSignal stop;
  stopped.watcher.stopAt = 25;
  const CaptureResult end = stopped.Run({1000, milliseconds{0}}, &stop);
  EXPECT_EQ(end.end, CaptureEnd::kStopped);
  EXPECT_EQ(stopped.Records(), stopped.SentPrefix(25));
  EXPECT_EQ(stopped.ecu.idleRequests(), "SR");
}

// The 500 ms rule: an answer 500 ms after its request is taken; one a
// millisecond later comes after the request was sent again.
TEST(CaptureSessionTest, RepeatsARequestNotAnsweredWithin500Ms) {
  for (const int delay : {500, 501}) {
    SimulatedLine::Timing timing;
    timing.byteTime = std::chrono::microseconds{0};
    timing.answerDelay = milliseconds{delay};
    Bench bench({}, timing);
    const CaptureResult result = bench.Run({3, milliseconds{0}});
    EXPECT_EQ(result.status.repeatedRequests > 0, delay > 500) << delay;
    EXPECT_EQ(bench.Records(), bench.SentPrefix(3)) << delay;
  }
}

// The 5 s rule, on both sides of its edge: from the start, and after the
// last frame.
TEST(CaptureSessionTest, FailsNamingTheDeviceWhenNoFrameCameFor5s) {
  // The first request goes out once the line has been quiet for the gap;
  // its answer then comes exactly 5 s, or a millisecond more, after the
  // start.
  for (const int late : {0, 1}) {
    SimulatedLine::Timing timing;
    timing.byteTime = std::chrono::microseconds{0};
    timing.answerDelay =
        CaptureSession::kSilenceLimit - CaptureSession::kQuietGap + milliseconds{late};
    Bench bench({}, timing);
    if (late == 0) {
      EXPECT_EQ(bench.Run({1, milliseconds{0}}).end, CaptureEnd::kRecords);
      continue;
    }
    try {
      bench.Run({1, milliseconds{0}});
      ADD_FAILURE() << "no failure";
    } catch (const TrimwrightError& e) {
      EXPECT_EQ(e.status(), ExitStatus::kFileOrMemory);
      EXPECT_EQ(std::string(e.what()),
                "No valid frame came from the device /dev/simulated for 5 s");
      EXPECT_EQ(bench.clock.Now(), CaptureSession::kSilenceLimit);
      EXPECT_FALSE(std::filesystem::exists(bench.log)) << "a log without records stays";
      EXPECT_EQ(bench.ecu.idleRequests(), "SR");
    }
  }

  EcuFaults faults;
  faults.silentAfter = 4;
  Bench bench(faults);
  try {
    bench.Run({0, milliseconds{0}});
    ADD_FAILURE() << "no failure";
  } catch (const TrimwrightError& e) {
    EXPECT_EQ(std::string(e.what()),
              "No valid frame came from the device /dev/simulated for 5 s; the 4 records "
              "captured before are in " +
                  bench.log);
    ASSERT_EQ(bench.watcher.recordTimes.size(), 4u);
    EXPECT_EQ(bench.clock.Now() - bench.watcher.recordTimes.back(), CaptureSession::kSilenceLimit);
    EXPECT_EQ(bench.Records(), bench.SentPrefix(4));
  }
}

// A disk that fills mid-line leaves the lines before whole, and the capture
// fails saying so. Run in a child, whose file size limit stands for the full
// disk.
TEST(CaptureSessionTest, FullDiskLeavesOnlyWholeLines) {
  Bench bench;
  const std::size_t limit = StreamCsvHeader().size() + 1 + 2 * 150 + 50;
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit size{limit, limit};
    setrlimit(RLIMIT_FSIZE, &size);
    try {
      bench.Run({10, milliseconds{0}});
    } catch (const TrimwrightError& e) {
      const std::string said = e.what();
      _exit(said.find("Unable to write the capture log") == 0 &&
                    said.find("captured before are in") != std::string::npos
                ? 0
                : 2);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string text = tools::ReadFile(bench.log);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  EXPECT_LT(text.size(), limit) << "the part of a line written is cut off again";
  const std::vector<std::string> records = bench.Records();
  EXPECT_GE(records.size(), 1u);
  for (const std::string& line : records) {
    EXPECT_EQ(Fields(line).size(), static_cast<std::size_t>(kStreamCsvColumns)) << line;
  }
}

TEST(CaptureSessionTest, RefusesAnExistingLogUntouched) {
  Bench bench;
  tools::WriteFile(bench.log, "an earlier drive\n");
  try {
    bench.Run({5, milliseconds{0}});
    ADD_FAILURE() << "no refusal";
  } catch (const TrimwrightError& e) {
    EXPECT_EQ(e.status(), ExitStatus::kFileOrMemory);
    EXPECT_NE(std::string(e.what()).find(bench.log + " exists already"), std::string::npos);
  }
  EXPECT_EQ(tools::ReadFile(bench.log), "an earlier drive\n");
  EXPECT_EQ(bench.ecu.requests(), 0u);
  EXPECT_EQ(bench.ecu.idleRequests(), "");
}

}  // namespace
}  // namespace trimwright
