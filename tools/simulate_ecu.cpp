// simulate_ecu: a simulated engine computer on a pseudo-terminal, for trying
// a capture without a car. Prints the terminal's path on the first line of
// standard output, then one line per request to stop or resume the idle
// traffic, and a summary at the end (SIGINT or SIGTERM). It answers each
// data-stream request with a frame of the simulated drive over IMAGE (the
// sample image when none is given), at the line's rate unless --fast, with
// the faults asked for, and logs every frame it sent whole to --log in the
// layout a capture writes.
//
//   simulate_ecu [--image IMAGE] [--seed S] [--records N] [--log FILE]
//                [--fault KIND:N]... [--silence-length K] [--silent-after N] [--fast]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "capture/CaptureLog.h"
#include "capture/StreamCsv.h"
#include "common/TrimwrightError.h"
#include "tools/EcuSimulator.h"

namespace {

using namespace trimwright;
using namespace trimwright::tools;
using Clock = std::chrono::steady_clock;

volatile sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

// Ten bits a byte at 8192 baud; bytes go out in pieces of this many, as a
// serial port's buffer hands them over.
constexpr std::chrono::microseconds kByteTime{1221};
constexpr std::size_t kPieceBytes = 16;
constexpr std::chrono::milliseconds kAnswerDelay{2};
constexpr std::chrono::milliseconds kIdleInterval{100};

// The master side of a new pseudo-terminal, its slave kept open (and raw)
// so that the master never reads an end while no capture has it open.
struct Terminal {
  int master = -1;
  int slave = -1;
  std::string path;
};

Terminal OpenTerminal() {
  Terminal t;
  t.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (t.master < 0 || ::grantpt(t.master) != 0 || ::unlockpt(t.master) != 0) {
    throw std::runtime_error("cannot open a pseudo-terminal");
  }
  char name[128];
  if (::ptsname_r(t.master, name, sizeof name) != 0) throw std::runtime_error("no terminal name");
  t.path = name;
  t.slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios raw;
  if (t.slave < 0 || ::tcgetattr(t.slave, &raw) != 0)
    throw std::runtime_error("cannot open " + t.path);
  ::cfmakeraw(&raw);
  ::tcsetattr(t.slave, TCSANOW, &raw);
  // A wire without a listener loses its bytes rather than holding the sender.
  ::fcntl(t.master, F_SETFL, ::fcntl(t.master, F_GETFL) | O_NONBLOCK);
  return t;
}

// Writes bytes in pieces, each taking its time on the wire unless fast.
void Transmit(int master, const std::vector<std::uint8_t>& bytes, bool fast) {
  for (std::size_t k = 0; k < bytes.size() && !stopRequested; k += kPieceBytes) {
    const std::size_t n = std::min(kPieceBytes, bytes.size() - k);
    // A full buffer (nobody reading) drops the piece.
    [[maybe_unused]] const ssize_t written = ::write(master, bytes.data() + k, n);
    if (!fast) std::this_thread::sleep_for(kByteTime * static_cast<long>(n));
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"A simulated engine computer on a pseudo-terminal, for trying a capture.",
               "simulate_ecu"};
  std::string imagePath;
  std::uint32_t seed = 1;
  int records = 420;
  std::string logPath;
  std::vector<std::string> faultTexts;
  EcuFaults faults;
  bool fast = false;
  app.add_option("--image", imagePath,
                 "calibration image the engine runs on (default: the sample)");
  app.add_option("--seed", seed, "noise seed of the drive; the next drives count up")
      ->capture_default_str();
  app.add_option("--records", records, "samples per drive")
      ->check(CLI::Range(1, 100000000))
      ->capture_default_str();
  app.add_option("--log", logPath, "new .csv log of every frame sent whole");
  app.add_option("--fault", faultTexts,
                 "KIND:N, a fault on every Nth data request; KIND is checksum, cut, garbage, "
                 "silence (no answer), echo (none), idle (an idle frame first), stall (the "
                 "answer 600 ms late); stop:N misses the first N requests to stop the idle "
                 "traffic")
      ->type_name("KIND:N");
  app.add_option("--silence-length", faults.silenceLength,
                 "requests in a row left unanswered where silence hits")
      ->check(CLI::Range(1, 1000000))
      ->capture_default_str();
  app.add_option("--silent-after", faults.silentAfter,
                 "answer the first N data requests only, then never again")
      ->check(CLI::Range(std::int64_t{0}, std::int64_t{1} << 40));
  app.add_flag("--fast", fast, "send at once instead of at the line's rate");
  CLI11_PARSE(app, argc, argv);

  try {
    for (const std::string& text : faultTexts) faults.Set(text);
    const CalibrationImage image =
        imagePath.empty()
            ? MakeSampleImage()
            : CalibrationImage::FromBytes(ReadFile(imagePath), imagePath.ends_with(".lt1")
                                                                   ? ImageLayout::kLt1
                                                                   : ImageLayout::kBin);
    EcuSimulator ecu(image, seed, records, faults);
    std::optional<CaptureLog> log;
    if (!logPath.empty()) {
      log.emplace(logPath, StreamCsvHeader());
      ecu.SetRecordSink([&log](const std::string& line) { log->Append(line); });
    }
    const Terminal terminal = OpenTerminal();
    struct sigaction action {};
    action.sa_handler = RequestStop;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    std::cout << terminal.path << std::endl;

    std::size_t idleRequestsSaid = 0;
    Clock::time_point nextIdle = Clock::now() + kIdleInterval;
    std::vector<std::uint8_t> buffer(4096);
    while (!stopRequested) {
      int waitMs = 1000;
      if (ecu.IdleTrafficOn()) {
        waitMs = static_cast<int>(std::max<long>(
            std::chrono::ceil<std::chrono::milliseconds>(nextIdle - Clock::now()).count(), 0));
      }
      pollfd ready{terminal.master, POLLIN, 0};
      if (::poll(&ready, 1, waitMs) > 0 && (ready.revents & POLLIN) != 0) {
        const ssize_t got = ::read(terminal.master, buffer.data(), buffer.size());
        if (got > 0) {
          const EcuSimulator::Reply reply =
              ecu.Receive({buffer.data(), static_cast<std::size_t>(got)});
          Transmit(terminal.master, reply.echo, fast);
          if (!reply.answer.empty()) {
            if (!fast || reply.stalled) {
              std::this_thread::sleep_for(reply.stalled ? EcuSimulator::kStallPause : kAnswerDelay);
            }
            Transmit(terminal.master, reply.answer, fast);
          }
          for (; idleRequestsSaid < ecu.idleRequests().size(); ++idleRequestsSaid) {
            std::cout << (ecu.idleRequests()[idleRequestsSaid] == 'S' ? "idle traffic stopped"
                                                                      : "idle traffic resumed")
                      << std::endl;
          }
        }
      }
      if (ecu.IdleTrafficOn() && Clock::now() >= nextIdle) {
        Transmit(terminal.master, EcuSimulator::IdleFrame(), fast);
        nextIdle = Clock::now() + kIdleInterval;
      }
    }
    if (log) log->Finish();
    std::cout << "requests " << ecu.requests() << ", frames sent whole " << ecu.framesSent()
              << std::endl;
  } catch (const std::exception& e) {
    std::cerr << "simulate_ecu: " << e.what() << std::endl;
    return 1;
  }
  return 0;
}
