#include "tools/BenchReport.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace trimwright::tools {

namespace {

// The targets a pass is held to on the smaller logs, and on the larger ones
// against the smaller.
constexpr double kFloorTimes = 3.0;        // a pass within this many times the floor
constexpr double kReferenceTimes = 5.0;    // at least this many times faster than the reference
constexpr double kBytesPerRecord = 80.0;   // peak memory per record...
constexpr double kMemoryBaseBytes = 32e6;  // ...plus this much
// The larger pass at most 11/10 of the records' ratio times the smaller one
// (11x for ten times the records), kept as a fraction so that the limit is exact.
constexpr std::int64_t kScaleNumerator = 11;
constexpr std::int64_t kScaleDenominator = 10;

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::vector<char> text(static_cast<std::size_t>(length > 0 ? length : 0) + 1);
  std::vsnprintf(text.data(), text.size(), format, again);
  va_end(again);
  return std::string(text.data(), text.size() - 1);
}

const LogTiming* FindLog(const BenchReport& report, const std::string& format,
                         std::int64_t records) {
  for (const LogTiming& log : report.logs) {
    if (log.format == format && log.records == records) return &log;
  }
  return nullptr;
}

std::string Verdict(bool holds, const std::string& text) {
  return (holds ? "  PASS  " : "  FAIL  ") + text + "\n";
}

std::string Conditions(const BenchReport& report) {
  const MachineFacts& machine = report.machine;
  std::string out =
      Printf("Machine: %d cores, %s, %.1f GiB RAM, Linux %s\n", machine.cores,
             machine.cpuModel.empty() ? "unknown CPU" : machine.cpuModel.c_str(),
             static_cast<double>(machine.memoryKiB) / 1048576, machine.kernel.c_str());
  out += "Load average (1, 5, 15 min) before: " + report.loadBefore +
         "; after: " + report.loadAfter + "\n";
  const double share = report.otherWorkShare < 0 ? 0 : report.otherWorkShare;
  out += Printf("Other work on the machine during the measurement: %.0f%% of its CPU time%s\n",
                100 * share, share > 0.05 ? " (times may be high and noisy)" : "");
  const std::string small = RecordCountLabel(report.records);
  if (report.largeRecords == 0) {
    out += Printf("Times are medians of %d runs (the floor: %d) with a warm page cache,\n",
                  report.reps, 3 * report.reps);
    out += "after one untimed pass.\nMB = 10^6 bytes.\n";
  } else {
    const std::string large = RecordCountLabel(report.largeRecords);
    out += Printf("Times are medians of %d runs on the %s logs and %d on the %s logs (the floor:\n",
                  report.reps, small.c_str(), report.largeReps, large.c_str());
    out += Printf("three times as many; the reference reader: %d on each %s log) with a warm\n",
                  report.largeReferenceReps, large.c_str());
    out += "page cache, after one untimed pass on each log. MB = 10^6 bytes.\n";
  }
  out +=
      "cpu s: user + system CPU seconds of a pass on all its threads (median);\n"
      "floor: wc -l for the text formats, cat for .uni; x floor: pass / floor;\n"
      "vs ref: reference seconds / pass seconds; B/rec: peak memory / records.\n";
  return out;
}

std::string PassTable(const BenchReport& report) {
  std::string out = Printf("%-6s %9s %8s %8s %7s %6s %8s %8s %8s %8s %8s %6s\n", "format",
                           "records", "size MB", "pass s", "cpu s", "MB/s", "floor s", "x floor",
                           "ref s", "vs ref", "peak MB", "B/rec");
  for (const LogTiming& log : report.logs) {
    const double bytes = static_cast<double>(log.bytes);
    const double pass = log.passMicros;
    const double peak = static_cast<double>(log.peakKiB) * 1024;
    std::string referenceSeconds = "-";
    std::string versusReference = "-";
    if (log.referenceMicros) {
      referenceSeconds = Printf("%.3f", *log.referenceMicros / 1e6);
      versusReference = Printf("%.1fx", *log.referenceMicros / pass);
    }
    out += Printf("%-6s %9lld %8.1f %8.3f %7.3f %6.0f %8.3f %7.2fx %8s %8s %8.1f %6.1f\n",
                  log.format.c_str(), static_cast<long long>(log.records), bytes / 1e6, pass / 1e6,
                  log.passCpuMicros / 1e6, bytes / pass, log.floorMicros / 1e6,
                  pass / log.floorMicros, referenceSeconds.c_str(), versusReference.c_str(),
                  peak / 1e6, peak / static_cast<double>(log.records));
  }
  return out;
}

std::string StageTable(const BenchReport& report) {
  std::string out = Printf(
      "Where a %s pass spends its time, in ms (medians of %d runs of each stage in one process):\n",
      RecordCountLabel(report.records).c_str(), report.reps);
  out +=
      "count: the counting pass; read: reading every line or record as the reader does, the\n"
      "counting pass included, without decoding a field; decode: the reader minus read, that is\n"
      "decoding and storing the fields; walk: the calibration's walk over the records; plan:\n"
      "planning the pass; fixed: a whole pass over the log's first 1000 records (starting, the\n"
      "image, the history entry, the report); no-decode: read + walk + plan + fixed, a pass\n"
      "whose fields would cost nothing, and its x floor.\n\n";
  out += Printf("%-6s %7s %7s %7s %7s %7s %7s %10s %8s\n", "format", "count", "read", "decode",
                "walk", "plan", "fixed", "no-decode", "x floor");
  for (const StageTiming& stage : report.stages) {
    const LogTiming* log = FindLog(report, stage.format, report.records);
    const double floorMs = log ? log->floorMicros / 1e3 : 0.0;
    const double bare = stage.read + stage.walk + stage.plan + stage.fixed;
    out += Printf("%-6s %7.1f %7.1f %7.1f %7.1f %7.1f %7.1f %10.1f %7.2fx\n", stage.format.c_str(),
                  stage.count, stage.read, stage.reader - stage.read, stage.walk, stage.plan,
                  stage.fixed, bare, bare / floorMs);
  }
  return out;
}

std::string Targets(const BenchReport& report) {
  std::string out = "Targets:\n";
  const std::string small = RecordCountLabel(report.records);
  const double memoryLimit =
      kBytesPerRecord * static_cast<double>(report.records) + kMemoryBaseBytes;
  for (const LogTiming& log : report.logs) {
    if (log.records != report.records) continue;
    const std::string name = log.format + " " + small + ": ";
    const double pass = log.passMicros;
    out += Verdict(
        pass <= kFloorTimes * log.floorMicros,
        name + Printf("pass within %gx the floor (%.2fx)", kFloorTimes, pass / log.floorMicros));
    const std::string faster = Printf("at least %gx faster than the reference", kReferenceTimes);
    if (log.referenceMicros) {
      out += Verdict(*log.referenceMicros >= kReferenceTimes * pass,
                     name + faster + Printf(" (%.1fx)", *log.referenceMicros / pass));
    } else {
      out += "  ----  " + name + faster + " (no reference reader built)\n";
    }
    const double peak = static_cast<double>(log.peakKiB) * 1024;
    out += Verdict(
        peak <= memoryLimit,
        name + Printf("peak memory at most %g B/record + %g MB (%.1f MB of %.1f MB)",
                      kBytesPerRecord, kMemoryBaseBytes / 1e6, peak / 1e6, memoryLimit / 1e6));
    const LogTiming* large = FindLog(report, log.format, report.largeRecords);
    if (report.largeRecords != 0 && large) {
      const double times = static_cast<double>(report.largeRecords * kScaleNumerator) /
                           static_cast<double>(report.records * kScaleDenominator);
      out += Verdict(large->passMicros <= times * pass,
                     log.format + " " + RecordCountLabel(report.largeRecords) +
                         Printf(": pass at most %gx the %s pass (%.2fx)", times, small.c_str(),
                                large->passMicros / pass));
    }
  }
  return out;
}

}  // namespace

std::string RecordCountLabel(std::int64_t records) {
  if (records > 0 && records % 1000000 == 0) return std::to_string(records / 1000000) + "M";
  if (records > 0 && records % 1000 == 0) return std::to_string(records / 1000) + "k";
  return std::to_string(records);
}

std::string FormatBenchReport(const BenchReport& report) {
  return Conditions(report) + "\n" + PassTable(report) + "\n" + StageTable(report) + "\n" +
         Targets(report);
}

}  // namespace trimwright::tools
