// pass_bench: measures whole tuning passes on long logs and prints the bench's
// report (tools/BenchReport): for each log the median wall and CPU time of a
// trimwright-cli pass on a fresh copy of the image, the floor of merely
// reading the file (cat for .uni, wc -l for text), the straightforward
// reference reader, and the peak memory of a pass; for the smaller logs the
// stages of a pass (pass_stages) and a pass over the first 1000 records.
//   pass_bench --cli FILE --stages FILE [--reference FILE] --image FILE
//              --logs DIR --scratch DIR --records N --reps R
//              [--large-records M --large-reps R [--large-reference-reps R]]
// The logs are DIR/N.uni, DIR/N.csv and DIR/N.txt, and the same for M.
// Progress goes to standard error, the report to standard output. Exits 0
// whenever the measurement ran (the report's PASS and FAIL lines are the
// verdict), 1 when a log is missing or a command failed, 2 on a bad command
// line.
#include <sys/resource.h>
#include <CLI/CLI.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "app/FileFormats.h"
#include "common/TrimwrightError.h"
#include "logdata/DMUni.h"
#include "tools/BenchReport.h"
#include "tools/LogWriter.h"
#include "tools/MachineFacts.h"
#include "tools/Median.h"
#include "tools/ScratchDir.h"
#include "tools/TimedRun.h"

namespace {

using namespace trimwright;
using namespace trimwright::tools;

constexpr const char* kFormats[] = {"uni", "csv", "txt"};
// The records of the log a pass's fixed cost is measured on.
constexpr std::int64_t kFixedCostRecords = 1000;

struct Settings {
  std::string cli;
  std::string stages;
  std::string reference;
  std::string image;
  std::string logs;
  std::string scratch;
  std::int64_t records = 0;
  std::int64_t largeRecords = 0;  // none when 0
  int reps = 0;
  int largeReps = 0;
  int largeReferenceReps = 0;
};

// The measuring of one run. The copies of the image, the report and what the
// commands print go to files in scratch, a folder the caller owns; settings
// must outlive the object.
class Bench {
 public:
  Bench(const Settings& settings, const std::string& scratch)
      : settings_(settings),
        car_(scratch + "/car.bin"),
        report_(scratch + "/car_trw.txt"),
        err_(scratch + "/stderr"),
        out_(scratch + "/stdout") {}

  LogTiming MeasureLog(const std::string& format, std::int64_t records, int reps,
                       int referenceReps);
  StageTiming MeasureStages(const std::string& format, const std::string& log,
                            const std::string& small, int reps);

 private:
  // A whole pass over log on a fresh copy of the image.
  RunCost Pass(const std::string& log) {
    std::filesystem::copy_file(settings_.image, car_,
                               std::filesystem::copy_options::overwrite_existing);
    return RunTimed({settings_.cli, log, car_, "--report", report_}, "/dev/null", err_);
  }

  const Settings& settings_;
  const std::string car_;
  const std::string report_;
  const std::string err_;
  const std::string out_;
};

void Note(const std::string& text) { std::cerr << text << std::endl; }

// Reads the whole file once, so that every timed run finds it in the page cache.
void WarmPageCache(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<char> buffer(1 << 18);
  while (file.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) ||
         file.gcount() > 0) {
  }
}

// The log's header and its first kFixedCostRecords records, written to path.
void WriteFirstRecords(const std::string& log, const std::string& path) {
  const LogFormat* format = FindLogFormat(log);
  if (!format) throw TrimwrightError("Not a log file: " + log);
  std::ifstream in(log, std::ios::binary);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (format->kind == LogKind::kDatamaster) {
    std::vector<char> bytes(static_cast<std::size_t>((1 + kFixedCostRecords) * DMUni::kRecordSize));
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.write(bytes.data(), in.gcount());
  } else {
    const std::int64_t headerLines =
        format->kind == LogKind::kFreescan ? 1 : static_cast<std::int64_t>(PCMcommHeader().size());
    std::string line;
    for (std::int64_t k = 0; k < headerLines + kFixedCostRecords && std::getline(in, line); ++k) {
      out << line << '\n';
    }
  }
  if (!out.flush()) throw TrimwrightError("Unable to write " + path);
}

LogTiming Bench::MeasureLog(const std::string& format, std::int64_t records, int reps,
                            int referenceReps) {
  const std::string log = settings_.logs + "/" + std::to_string(records) + "." + format;
  LogTiming timing;
  timing.format = format;
  timing.records = records;
  timing.bytes = static_cast<std::int64_t>(std::filesystem::file_size(log));
  Note("== " + format + ", " + std::to_string(records) + " records: " + std::to_string(reps) +
       " repetitions");
  WarmPageCache(log);

  // The floor is cheap and short, so it gets three times the runs.
  const std::vector<std::string> floor = format == "uni"
                                             ? std::vector<std::string>{"cat", log}
                                             : std::vector<std::string>{"wc", "-l", log};
  std::vector<double> samples;
  for (int k = 0; k < 3 * reps; ++k)
    samples.push_back(RunTimed(floor, "/dev/null", err_).wallMicros);
  timing.floorMicros = Median(samples);

  // One untimed pass first. On a virtual machine the first touch of memory the
  // host has not backed yet costs far more than later ones (a cold 10M pass
  // can take twice as long); the timed passes then measure the program rather
  // than the host.
  Pass(log);
  samples.clear();
  std::vector<double> cpu;
  for (int k = 0; k < reps; ++k) {
    const RunCost cost = Pass(log);
    samples.push_back(cost.wallMicros);
    cpu.push_back(cost.cpuMicros);
    timing.peakKiB = std::max(timing.peakKiB, cost.peakKiB);
  }
  timing.passMicros = Median(samples);
  timing.passCpuMicros = Median(cpu);

  if (!settings_.reference.empty()) {
    samples.clear();
    for (int k = 0; k < referenceReps; ++k) {
      samples.push_back(RunTimed({settings_.reference, log}, "/dev/null", err_).wallMicros);
    }
    timing.referenceMicros = Median(samples);
  }
  return timing;
}

// The stages of a pass, timed in one process, and a whole pass over the log's
// first records: what a pass costs besides its records.
StageTiming Bench::MeasureStages(const std::string& format, const std::string& log,
                                 const std::string& small, int reps) {
  StageTiming timing;
  timing.format = format;
  RunTimed({settings_.stages, "--reps", std::to_string(reps), log, settings_.image}, out_, err_);
  std::ifstream lines(out_);
  std::map<std::string, double> ms;
  std::string stage;
  for (double value = 0; lines >> stage >> value;) ms[stage] = value;
  for (const char* name : {"count", "read", "reader", "walk", "plan"}) {
    if (!ms.count(name)) throw TrimwrightError(settings_.stages + " printed no " + name + " stage");
  }
  timing.count = ms["count"];
  timing.read = ms["read"];
  timing.reader = ms["reader"];
  timing.walk = ms["walk"];
  timing.plan = ms["plan"];

  WriteFirstRecords(log, small);
  std::vector<double> samples;
  for (int k = 0; k < 3 * reps; ++k) samples.push_back(Pass(small).wallMicros);
  timing.fixed = Median(samples) / 1e3;
  return timing;
}

std::vector<std::int64_t> Sizes(const Settings& settings) {
  if (settings.largeRecords == 0) return {settings.records};
  return {settings.records, settings.largeRecords};
}

BenchReport Measure(const Settings& settings) {
  BenchReport report;
  report.records = settings.records;
  report.largeRecords = settings.largeRecords;
  report.reps = settings.reps;
  report.largeReps = settings.largeReps;
  report.largeReferenceReps = settings.largeReferenceReps;

  ScratchDir scratch(settings.scratch);
  Bench bench(settings, scratch.path());
  report.loadBefore = ReadLoadAverage();
  const double machineBefore = MachineBusySeconds();
  const double ownBefore = OwnCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  for (const std::int64_t records : Sizes(settings)) {
    const bool small = records == report.records;
    for (const char* format : kFormats) {
      report.logs.push_back(bench.MeasureLog(format, records,
                                             small ? settings.reps : settings.largeReps,
                                             small ? settings.reps : settings.largeReferenceReps));
      if (small) {
        report.stages.push_back(bench.MeasureStages(
            format, settings.logs + "/" + std::to_string(records) + "." + format,
            scratch.File(std::string("small.") + format), settings.reps));
      }
    }
  }
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double other = (MachineBusySeconds() - machineBefore) - (OwnCpuSeconds() - ownBefore);
  report.machine = ReadMachineFacts();
  report.loadAfter = ReadLoadAverage();
  // A child's peak memory starts at this process's own (TimedRun.h).
  rusage self{};
  getrusage(RUSAGE_SELF, &self);
  for (const LogTiming& log : report.logs) {
    if (log.peakKiB <= self.ru_maxrss) {
      Note("note: the peak memory of a " + log.format + " pass, " + std::to_string(log.peakKiB) +
           " KiB, is no more than this program's own, which the kernel counts into it");
    }
  }
  report.otherWorkShare =
      wall > 0 && report.machine.cores > 0 ? other / (wall * report.machine.cores) : 0.0;
  return report;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("Measures tuning passes on long logs and prints the bench's report.");
  Settings settings;
  settings.largeReps = 3;
  settings.largeReferenceReps = 1;
  app.add_option("--cli", settings.cli, "trimwright-cli")->required()->check(CLI::ExistingFile);
  app.add_option("--stages", settings.stages, "pass_stages")->required()->check(CLI::ExistingFile);
  app.add_option("--reference", settings.reference,
                 "reference_read (the column stays empty without)")
      ->check(CLI::ExistingFile);
  app.add_option("--image", settings.image, "the image each pass tunes a fresh copy of")
      ->required()
      ->check(CLI::ExistingFile);
  app.add_option("--logs", settings.logs, "folder of the logs N.uni, N.csv, N.txt")
      ->required()
      ->check(CLI::ExistingDirectory);
  app.add_option("--scratch", settings.scratch, "folder for the copies of the image")
      ->required()
      ->check(CLI::ExistingDirectory);
  app.add_option("--records", settings.records, "records of the smaller logs")
      ->required()
      ->check(CLI::PositiveNumber);
  app.add_option("--large-records", settings.largeRecords, "records of the larger logs, if any")
      ->check(CLI::PositiveNumber);
  app.add_option("--reps", settings.reps, "timed passes of each smaller log")
      ->required()
      ->check(CLI::PositiveNumber);
  app.add_option("--large-reps", settings.largeReps, "timed passes of each larger log")
      ->check(CLI::PositiveNumber);
  app.add_option("--large-reference-reps", settings.largeReferenceReps,
                 "runs of the reference reader on each larger log")
      ->check(CLI::PositiveNumber);
  CLI11_PARSE(app, argc, argv);
  if (settings.largeRecords != 0 && settings.largeRecords <= settings.records) {
    std::cerr << "pass_bench: --large-records must be larger than --records\n";
    return 2;
  }

  // Every log is there before anything is measured, which takes minutes.
  for (const std::int64_t records : Sizes(settings)) {
    for (const char* format : kFormats) {
      const std::string log = settings.logs + "/" + std::to_string(records) + "." + format;
      if (!std::filesystem::is_regular_file(log)) {
        std::cerr << "pass_bench: no log " << log << "\n";
        return 1;
      }
    }
  }
  try {
    std::cout << FormatBenchReport(Measure(settings)) << std::flush;
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "pass_bench: " << e.what() << "\n";
    return 1;
  }
}
