// trimwright-cli --capture against the simulated engine computer on a
// pseudo-terminal: a capture through line faults record for record, and a
// pass on it as on the simulator's own log; Ctrl-C and SIGTERM mid-capture; a
// silent device; what it refuses; the status line on a terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "capture/StreamCsv.h"
#include "tests/support/Process.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempDir.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

using testing::ExitStatusOf;
using testing::ProcessResult;
using testing::RunProcess;
using testing::Spawn;
using testing::TempDir;

const std::string kCli = TRIMWRIGHT_CLI_PATH;
const std::string kSimulator = TRIMWRIGHT_SIMULATE_ECU_PATH;
const std::string kSampleImage = std::string(TRIMWRIGHT_EXAMPLES_DIR) + "/sample.bin";

// The exit status of child, or -2 when it is still running after `limit`
// (it is killed then, so that a capture that ignores its stop fails the
// test instead of hanging it).
int ExitStatusWithin(pid_t child, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(child, SIGKILL);
      ExitStatusOf(child);
      return -2;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The simulated engine computer built beside the tests.
class Simulator : public testing::Simulator {
 public:
  explicit Simulator(const std::vector<std::string>& options)
      : testing::Simulator(kSimulator, options) {}
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "a last line without its line feed";
  return lines;
}

std::size_t LineCount(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return 0;
  const std::string text = tools::ReadFile(path);
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(CaptureCliTest, CapturesThroughLineFaultsWhatAPassReadsAsTheSimulatorsOwnLog) {
  TempDir dir;
  const std::string simulatorLog = dir.File("sent.csv");
  const std::string captured = dir.File("drive.csv");
  Simulator simulator({"--fast", "--log", simulatorLog, "--fault", "checksum:37", "--fault",
                       "cut:53", "--fault", "garbage:29", "--fault", "silence:71", "--fault",
                       "echo:17", "--fault", "idle:23"});
  const ProcessResult run =
      RunProcess({kCli, "--capture", simulator.device(), "--records", "200", captured});
  const std::string said = simulator.Finish();
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_TRUE(Contains(run.err, "captured 200 records from " + simulator.device())) << run.err;
  EXPECT_FALSE(Contains(run.err, "\r")) << "a status line without a terminal";
  // Asked to stop the idle traffic first (again where a request went
  // unanswered amid it), and to resume it at the end.
  const std::vector<std::string> events = Lines(said);
  ASSERT_GE(events.size(), 3u) << said;
  EXPECT_EQ(events.front(), "idle traffic stopped");
  EXPECT_EQ(events[events.size() - 2], "idle traffic resumed");
  EXPECT_TRUE(Contains(events.back(), ", frames sent whole 200")) << said;
  const std::vector<std::string> lines = Lines(tools::ReadFile(captured));
  ASSERT_EQ(lines.size(), 201u);
  EXPECT_EQ(lines.front(), StreamCsvHeader());
  EXPECT_EQ(tools::ReadFile(captured), tools::ReadFile(simulatorLog));

  const ProcessResult preview =
      RunProcess({kCli, "--dry-run", "--json", "-", captured, kSampleImage});
  ASSERT_EQ(preview.exitStatus, 0) << preview.err;
  EXPECT_TRUE(Contains(preview.out, "\"read\": 200")) << preview.out.substr(0, 2000);

  const std::string original = tools::ReadFile(kSampleImage);
  std::vector<std::string> images;
  for (const std::string& log : {captured, simulatorLog}) {
    const std::string image = dir.File("car-" + std::to_string(images.size()) + ".bin");
    tools::WriteFile(image, original);
    const ProcessResult pass = RunProcess({kCli, "-q", "--no-history", log, image});
    ASSERT_EQ(pass.exitStatus, 0) << pass.err;
    images.push_back(tools::ReadFile(image));
  }
  EXPECT_NE(images[0], original);
  EXPECT_EQ(images[0], images[1]);
}

// The summary names each kind of frame skipped by its own count: with only
// bad checksums on the line, none is called cut.
TEST(CaptureCliTest, SummaryCountsEachSkippedFrameUnderItsOwnName) {
  TempDir dir;
  Simulator simulator({"--fast", "--fault", "checksum:3"});
  const ProcessResult run =
      RunProcess({kCli, "--capture", simulator.device(), "--records", "10", dir.File("d.csv")});
  simulator.Finish();
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_TRUE(
      std::regex_search(run.err, std::regex(", 0 cut frames, [1-9][0-9]* with a bad checksum, ")))
      << run.err;
}

TEST(CaptureCliTest, InterruptOrTerminateEndsWithStatus0AndWholeLines) {
  for (const int signal : {SIGINT, SIGTERM}) {
    TempDir dir;
    const std::string simulatorLog = dir.File("sent.csv");
    const std::string captured = dir.File("drive.csv");
    Simulator simulator({"--fast", "--log", simulatorLog});
    const pid_t cli = Spawn({kCli, "--capture", simulator.device(), captured}, -1, -1);
    for (int wait = 0; wait < 1000 && LineCount(captured) < 50; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(cli, signal);
    EXPECT_EQ(ExitStatusWithin(cli, std::chrono::seconds(10)), 0) << strsignal(signal);
    const std::string said = simulator.Finish();
    EXPECT_TRUE(Contains(said, "idle traffic stopped\nidle traffic resumed\n")) << said;
    const std::vector<std::string> lines = Lines(tools::ReadFile(captured));
    const std::vector<std::string> sent = Lines(tools::ReadFile(simulatorLog));
    ASSERT_GE(lines.size(), 50u) << "the lines seen before the signal";
    ASSERT_LE(lines.size(), sent.size());
    EXPECT_TRUE(std::equal(lines.begin(), lines.end(), sent.begin()));
  }
}

TEST(CaptureCliTest, SilentDeviceEndsWithStatus3NamingItWithin5s) {
  TempDir dir;
  const std::string captured = dir.File("drive.csv");
  Simulator simulator({"--fast", "--silent-after", "0"});
  const auto start = std::chrono::steady_clock::now();
  const ProcessResult run = RunProcess({kCli, "--capture", simulator.device(), captured});
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(run.exitStatus, 3);
  EXPECT_EQ(run.err, "trimwright-cli: error: No valid frame came from the device " +
                         simulator.device() + " for 5 s\n");
  EXPECT_GE(took, std::chrono::seconds(5));
  EXPECT_LT(took, std::chrono::milliseconds(6500));
  EXPECT_FALSE(std::filesystem::exists(captured)) << "a log without a record stays";
  EXPECT_TRUE(Contains(simulator.Finish(), "idle traffic resumed"));
}

TEST(CaptureCliTest, RefusesExistingLogsAndDevicesThatAreNoTerminals) {
  TempDir dir;
  Simulator simulator({"--fast"});
  const std::string existing = dir.File("drive.csv");
  tools::WriteFile(existing, "an earlier drive\n");
  const ProcessResult exists = RunProcess({kCli, "--capture", simulator.device(), existing});
  EXPECT_EQ(exists.exitStatus, 3);
  EXPECT_TRUE(Contains(exists.err, "The capture log " + existing + " exists already"))
      << exists.err;
  EXPECT_EQ(tools::ReadFile(existing), "an earlier drive\n");
  // A link that leads nowhere is a file of that name too.
  const std::string dangling = dir.File("dangling.csv");
  std::filesystem::create_symlink(dir.File("nowhere.csv"), dangling);
  const ProcessResult broken = RunProcess({kCli, "--capture", "/dev/null", dangling});
  EXPECT_EQ(broken.exitStatus, 3);
  EXPECT_TRUE(Contains(broken.err, "The capture log " + dangling + " exists already"))
      << broken.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("nowhere.csv")));
  const std::string link = dir.File("device.csv");
  std::filesystem::create_symlink(simulator.device(), link);
  const ProcessResult itself = RunProcess({kCli, "--capture", simulator.device(), link});
  EXPECT_EQ(itself.exitStatus, 3);
  EXPECT_EQ(itself.err, "trimwright-cli: error: The capture log " + link + " is the device " +
                            simulator.device() + " itself\n");
  EXPECT_EQ(simulator.Finish(), "requests 0, frames sent whole 0\n") << "the device was used";

  const std::string plain = dir.File("plain-file");
  tools::WriteFile(plain, "");
  for (const std::string& device : {plain, std::string("/dev/null"), dir.File("ttyUSB9")}) {
    const std::string log = dir.File("new.csv");
    const ProcessResult run = RunProcess({kCli, "--capture", device, log});
    EXPECT_EQ(run.exitStatus, 3) << device;
    const std::string expected =
        device == dir.File("ttyUSB9")
            ? "Unable to open the device " + device + " (No such file or directory)"
            : "The device " + device + " is not a terminal device";
    EXPECT_EQ(run.err, "trimwright-cli: error: " + expected + "\n");
    EXPECT_FALSE(std::filesystem::exists(log));
  }

  // A log in an image's history folder is refused; in a folder of that name
  // beside no image it is not.
  tools::WriteFile(dir.File("car.bin"), "");
  std::filesystem::create_directories(dir.File("car.bin.history/entry"));
  std::filesystem::create_directories(dir.File("other.history"));
  const std::string inHistory = dir.File("car.bin.history/entry/drive.csv");
  const ProcessResult history = RunProcess({kCli, "--capture", "/dev/null", inHistory});
  EXPECT_EQ(history.exitStatus, 3);
  EXPECT_TRUE(Contains(history.err, inHistory + " lies in the history folder")) << history.err;
  const ProcessResult beside =
      RunProcess({kCli, "--capture", "/dev/null", dir.File("other.history/drive.csv")});
  EXPECT_TRUE(Contains(beside.err, "/dev/null is not a terminal device")) << beside.err;
}

TEST(CaptureCliTest, TakesOnlyItsOwnOptionsAndOneCsvLog) {
  TempDir dir;
  const std::string log = dir.File("drive.csv");
  const std::vector<std::vector<std::string>> wrong = {
      {"--capture", "/dev/null", log, "--dry-run"},
      {"--capture", "/dev/null", log, dir.File("second.csv")},
      {"--capture", "/dev/null", dir.File("drive.txt")},
      {"--capture", "/dev/null"},
      {"--capture", "/dev/null", "--records", "0", log},
      {"--capture", "/dev/null", "--seconds", "2x", log},
      {"--records", "5", log, kSampleImage},
  };
  for (const std::vector<std::string>& args : wrong) {
    std::vector<std::string> argv{kCli};
    argv.insert(argv.end(), args.begin(), args.end());
    const ProcessResult run = RunProcess(argv);
    EXPECT_EQ(run.exitStatus, 2) << args[1] << " " << args.back() << ": " << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(log));
  const ProcessResult help = RunProcess({kCli, "--help"});
  EXPECT_TRUE(Contains(help.out,
                       "trimwright-cli --capture DEVICE [--records N] [--seconds S] "
                       "LOG.csv"));
}

TEST(CaptureCliTest, StatusLineOnATerminalAtMostFourTimesASecond) {
  for (const bool quiet : {false, true}) {
    TempDir dir;
    Simulator simulator({"--fast"});
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(terminal, 0);
    std::vector<std::string> argv{kCli, "--capture", simulator.device(), "--seconds", "2"};
    if (quiet) argv.push_back("-q");
    argv.push_back(dir.File("drive.csv"));
    const int status = ExitStatusWithin(Spawn(argv, -1, terminal), std::chrono::seconds(10));
    std::string shown;
    fcntl(master, F_SETFL, O_NONBLOCK);
    char buffer[4096];
    for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;) shown.append(buffer, got);
    close(terminal);
    close(master);
    EXPECT_EQ(status, 0) << shown;
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = shown.find(" frames/s  bad ", at)) != std::string::npos; ++at) {
      ++lines;
    }
    // One line at the start, then one each quarter of a second at most.
    if (quiet) {
      EXPECT_EQ(lines, 0u) << shown;
    } else {
      EXPECT_GE(lines, 2u) << shown;
      EXPECT_LE(lines, 9u) << shown;
      EXPECT_TRUE(Contains(shown, " kPa  cell ")) << shown;
    }
    EXPECT_TRUE(Contains(shown, "ended by the time asked for")) << shown;
  }
}

}  // namespace
}  // namespace trimwright
