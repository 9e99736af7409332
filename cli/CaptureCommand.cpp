#include "cli/CaptureCommand.h"

#include <signal.h>
#include <unistd.h>

#include <iostream>

#include "app/FileFormats.h"
#include "capture/DeviceCapture.h"
#include "capture/StopSignal.h"
#include "common/NumberText.h"

namespace trimwright {

namespace {

constexpr char kPrefix[] = "trimwright-cli: ";
// The status line changes at most four times a second.
constexpr std::chrono::milliseconds kStatusInterval{250};

// The stop signal SIGINT and SIGTERM reach while a capture runs.
StopSignal* signalledStop = nullptr;

void AskToStop(int) {
  if (signalledStop) signalledStop->Request();
}

// Routes SIGINT and SIGTERM to stop while it lives, then puts back what was
// there before.
class StopOnSignals {
 public:
  explicit StopOnSignals(StopSignal& stop) {
    signalledStop = &stop;
    struct sigaction action {};
    action.sa_handler = AskToStop;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &savedInterrupt_);
    ::sigaction(SIGTERM, &action, &savedTerminate_);
  }
  ~StopOnSignals() {
    ::sigaction(SIGINT, &savedInterrupt_, nullptr);
    ::sigaction(SIGTERM, &savedTerminate_, nullptr);
    signalledStop = nullptr;
  }
  StopOnSignals(const StopOnSignals&) = delete;
  StopOnSignals& operator=(const StopOnSignals&) = delete;

 private:
  struct sigaction savedInterrupt_ {};
  struct sigaction savedTerminate_ {};
};

std::string Seconds(std::chrono::milliseconds elapsed) {
  return FixedText(static_cast<double>(elapsed.count()) / 1000.0, 1) + " s";
}

// The status line, redrawn in place on a terminal.
class StatusLine : public CaptureObserver {
 public:
  StatusLine(std::ostream& out, bool shown) : out_(out), shown_(shown) {}

  void OnStatus(const CaptureStatus& s) override {
    if (!shown_ || (drawn_ && s.elapsed - lastDrawn_ < kStatusInterval)) return;
    drawn_ = true;
    lastDrawn_ = s.elapsed;
    out_ << '\r' << s.records << " records  " << FixedText(s.framesPerSecond, 1)
         << " frames/s  bad " << s.frames.BadFrames();
    if (s.haveValues) {
      out_ << "  rpm " << s.rpm << "  MAP " << FixedText(s.mapKpa, 1) << " kPa  cell " << s.blmCell
           << "  BLM " << s.blmLeft << "/" << s.blmRight;
    }
    out_ << "\033[K" << std::flush;
  }

  // Ends the line drawn, so that what follows starts on a line of its own.
  void Close() {
    if (drawn_) out_ << '\n' << std::flush;
    drawn_ = false;
  }

 private:
  std::ostream& out_;
  bool shown_;
  bool drawn_ = false;
  std::chrono::milliseconds lastDrawn_{0};
};

std::string EndText(CaptureEnd end) {
  switch (end) {
    case CaptureEnd::kRecords:
      return "the records asked for";
    case CaptureEnd::kDuration:
      return "the time asked for";
    case CaptureEnd::kStopped:
      break;
  }
  return "a request to stop";
}

}  // namespace

CaptureCommand::CaptureCommand() : Command({"--capture", "--records", "--seconds", "--quiet"}) {}

void CaptureCommand::Declare(CLI::App& app) {
  app.add_option("--capture", arguments_.device,
                 "log the engine computer's data stream live from DEVICE (a serial port such as "
                 "/dev/ttyUSB0, or any terminal device) into a new LOG.csv, until Ctrl-C, "
                 "--records or --seconds (status 0); status 3 when no valid frame comes for 5 s; "
                 "goes with --records, --seconds and -q (no status line) only; an existing "
                 "LOG.csv is never overwritten")
      ->type_name("DEVICE");
  app.add_option("--records", arguments_.records, "with --capture: stop after N records")
      ->type_name("N")
      ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{100000000}));
  app.add_option("--seconds", arguments_.seconds, "with --capture: stop after S seconds")
      ->type_name("S")
      ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{10000000}));
}

bool CaptureCommand::Chosen(const CommandLine& line) const { return line.Given("--capture"); }

void CaptureCommand::Check(const CommandLine& line) {
  if (!FirstRefused(line).empty()) {
    throw CLI::ValidationError("--capture goes with --records, --seconds and -q only");
  }
  const std::vector<std::string> logs = line.Positionals();
  if (logs.size() != 1) throw CLI::ValidationError("--capture takes one LOG.csv to write");
  const LogFormat* format = FindLogFormat(logs.front());
  if (!format || format->kind != LogKind::kFreescan) {
    throw CLI::ValidationError("--capture writes a .csv log; its name must end in .csv or .CSV");
  }
  arguments_.logPath = logs.front();
  arguments_.quiet = line.values().quiet;
}

int CaptureCommand::Run(const CommandLine&) {
  return RunCaptureCommand(arguments_, std::cerr, ::isatty(STDERR_FILENO));
}

int RunCaptureCommand(const CaptureArguments& arguments, std::ostream& messages,
                      bool messagesToTerminal) {
  CaptureRequest request;
  request.device = arguments.device;
  request.logPath = arguments.logPath;
  request.limits.records = arguments.records;
  request.limits.duration = std::chrono::seconds(arguments.seconds);
  StopSignal stop;
  StopOnSignals signals(stop);
  StatusLine status(messages, messagesToTerminal && !arguments.quiet);
  CaptureResult result;
  try {
    result = CaptureFromDevice(request, stop, &status);
  } catch (...) {
    status.Close();
    throw;
  }
  status.Close();
  const CaptureStatus& s = result.status;
  const double seconds = static_cast<double>(s.elapsed.count()) / 1000.0;
  const double rate = seconds > 0 ? static_cast<double>(s.records) / seconds : 0.0;
  const FrameCounts& f = s.frames;
  messages << kPrefix << "captured " << s.records << " records from " << request.device << " into "
           << request.logPath << " in " << Seconds(s.elapsed) << " (" << FixedText(rate, 1)
           << " frames/s), ended by " << EndText(result.end) << "\n"
           << kPrefix << "skipped " << f.echoes << " echoes, " << f.idleFrames << " idle frames, "
           << f.cutFrames << " cut frames, " << f.badChecksums << " with a bad checksum, "
           << f.otherFrames << " other frames, " << f.garbageBytes << " garbage bytes; "
           << s.repeatedRequests << " requests repeated" << std::endl;
  return 0;
}

}  // namespace trimwright
