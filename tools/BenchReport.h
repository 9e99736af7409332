// The bench's report: the conditions of the measurement, the table of whole
// passes, the table of a pass's stages and the targets with PASS or FAIL,
// made from measurements already taken. Plain values and one function that
// formats them; nothing here runs or times anything.
#ifndef TRIMWRIGHT_TOOLS_BENCHREPORT_H_
#define TRIMWRIGHT_TOOLS_BENCHREPORT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/MachineFacts.h"

namespace trimwright::tools {

// One log's figures. Times are medians in microseconds.
struct LogTiming {
  std::string format;  // "uni", "csv" or "txt"
  std::int64_t records = 0;
  std::int64_t bytes = 0;
  double passMicros = 0;                  // wall time of a whole pass
  double passCpuMicros = 0;               // user + system CPU time of a pass, all its threads
  double floorMicros = 0;                 // merely reading the file: cat, or wc -l for text
  std::optional<double> referenceMicros;  // the straightforward reader; none when not built
  std::int64_t peakKiB = 0;               // peak resident memory of a pass
};

// Where a pass over one format's smaller log spends its time, in
// milliseconds: the stage timer's figures and the fixed cost of a pass.
struct StageTiming {
  std::string format;
  double count = 0;   // the counting pass
  double read = 0;    // reading every line or record without decoding
  double reader = 0;  // the whole reader
  double walk = 0;    // the calibration's walk over the records
  double plan = 0;    // planning the pass
  double fixed = 0;   // a whole pass over the log's first records
};

struct BenchReport {
  MachineFacts machine;
  std::string loadBefore;  // as ReadLoadAverage gives it
  std::string loadAfter;
  // Other processes' CPU time during the measurement, as a share of the
  // machine's (cores x wall time); below 0 reads as 0.
  double otherWorkShare = 0;
  std::int64_t records = 0;       // the smaller logs: the stage table and most targets
  std::int64_t largeRecords = 0;  // the larger logs; 0 when none were measured
  int reps = 0;                   // timed passes of each smaller log
  int largeReps = 0;
  int largeReferenceReps = 0;
  // Every log, the smaller ones first, each size in the order of stages.
  std::vector<LogTiming> logs;
  // One per format, in the order the tables list the formats.
  std::vector<StageTiming> stages;
};

// "1M" for 1000000, "10M", "500k"; the plain number otherwise.
std::string RecordCountLabel(std::int64_t records);

// The whole report, every line ending in a line feed.
std::string FormatBenchReport(const BenchReport& report);

}  // namespace trimwright::tools

#endif  // TRIMWRIGHT_TOOLS_BENCHREPORT_H_
