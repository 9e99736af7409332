#include "logdata/DMUni.h"

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <vector>

#include "common/DiskFile.h"
#include "common/NumberText.h"
#include "common/ParallelParts.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

// Field offsets within a record.
constexpr int kEngineWarmFlags = 15;
constexpr int kHighThrottleFlags = 16;
constexpr int kRpmCounts = 24;
constexpr int kMapCounts = 30;
constexpr int kBlmCell = 39;
constexpr int kBlmLeft = 40;
constexpr int kBlmRight = 41;
constexpr int kAuxLeft = 42;
constexpr int kAuxRight = 43;

constexpr int kRpmPerCount = 25;
constexpr double kMapKpaPerCount = 0.3688;
constexpr double kMapKpaOffset = 10.4;

// The values of one record as the format encodes them.
[[gnu::always_inline]] inline RecordValues ReadValues(const unsigned char* record) {
  RecordValues values;
  values.rpm = record[kRpmCounts] * kRpmPerCount;
  values.map = NarrowToFloat(record[kMapCounts] * kMapKpaPerCount + kMapKpaOffset);
  values.blmCell = record[kBlmCell];
  values.blmLeft = record[kBlmLeft];
  values.blmRight = record[kBlmRight];
  values.auxLeft = record[kAuxLeft];
  values.auxRight = record[kAuxRight];
  return values;
}

}  // namespace

DMUni::DMUni(const std::string& path, const ReadPlan& plan, Diagnostics& sink) : LoggedData(sink) {
  diagnostics().Out() << "DMUni:  in constructor with arg " << path << std::endl;

  DiskFile file;
  if (!file.OpenForReading(path)) {
    const std::string message = "Unable to open datamaster file " + path;
    diagnostics().Out() << message << std::endl;
    throw TrimwrightError(message);
  }
  RefuseSpecialLogFile(file, path);

  const std::int64_t size = std::max<std::int64_t>(file.Size(), 0);
  // A file shorter than its header record holds no data records.
  recordCount = CountFromFile(size / kRecordSize - 1);
  diagnostics().Out() << "DMUni:  the number of records is " << recordCount << std::endl;

  Allocate();

  diagnostics().Out() << "DMUni:  reading in data..." << std::flush;
  const std::uint32_t total = recordCount;
  const unsigned partCount = std::min(plan.PartsFor(size), std::max(total, 1u));
  std::vector<RecordPart> parts(partCount);
  const auto recordsPerRead =
      static_cast<std::uint32_t>(std::max<std::size_t>(plan.blockBytes / kRecordSize, 1));
  RunParts(partCount, [&](std::size_t p) {
    const auto first = static_cast<std::uint32_t>(std::uint64_t{total} * p / partCount);
    const auto last = static_cast<std::uint32_t>(std::uint64_t{total} * (p + 1) / partCount);
    parts[p] = DecodeRecords(file, first, last, recordsPerRead);
  });
  JoinParts(parts);
  diagnostics().Out() << "okay" << std::endl;
}

RecordPart DMUni::DecodeRecords(const DiskFile& file, std::uint32_t first, std::uint32_t last,
                                std::uint32_t recordsPerRead) {
  std::vector<unsigned char> buffer(std::size_t{recordsPerRead} * kRecordSize);
  // Records whose read failed twice, by their place in the buffer; empty
  // while every read succeeds.
  std::vector<char> unreadable;
  RecordPart part{first, 0, {}};
  std::uint32_t index = first;
  for (std::uint32_t k = first; k < last;) {
    const std::uint32_t count = std::min(last - k, recordsPerRead);
    const std::size_t bytes = std::size_t{count} * kRecordSize;
    // Data record k follows the header record.
    const std::int64_t offset = (std::int64_t{k} + 1) * kRecordSize;
    const std::int64_t got = file.ReadUpTo(offset, buffer.data(), bytes);
    // The records from here on were not there to read whole.
    std::uint32_t whole = count;
    unreadable.clear();
    if (got >= 0) {
      // What the file no longer holds (it shrank meanwhile) reads as zeros,
      // which no record acceptance rule lets through.
      std::fill(buffer.begin() + got, buffer.begin() + static_cast<std::ptrdiff_t>(bytes), 0);
      whole = static_cast<std::uint32_t>(got / kRecordSize);
    } else {
      // A failed read costs only the records it really covers: each one is
      // read again on its own, and one that still fails reads as zeros.
      unreadable.assign(count, 0);
      for (std::uint32_t r = 0; r < count; ++r) {
        unsigned char* record = buffer.data() + std::size_t{r} * kRecordSize;
        if (!file.ReadAt(offset + std::int64_t{r} * kRecordSize, record, kRecordSize)) {
          std::fill(record, record + kRecordSize, 0);
          unreadable[r] = 1;
        }
      }
    }
    for (std::uint32_t r = 0; r < count; ++r) {
      const unsigned char* record = buffer.data() + std::size_t{r} * kRecordSize;
      if (DecodeRecord(index, record)) {
        ++index;
      } else {
        const Rejection why = r >= whole                             ? Rejection::kCutOff
                              : !unreadable.empty() && unreadable[r] ? Rejection::kUnreadable
                                                                     : RejectionOf(record);
        ++part.rejected[static_cast<std::size_t>(why)];
      }
    }
    k += count;
  }
  part.accepted = index - first;
  return part;
}

bool DMUni::DecodeRecord(std::uint32_t i, const unsigned char* record) {
  const RecordValues values = ReadValues(record);
  if (!PassesSharedRanges(values)) return false;
  StoreShared(i, values);
  engineWarm[i] = record[kEngineWarmFlags] & 1;
  highThrottle[i] = record[kHighThrottleFlags] & 1;
  return true;
}

Rejection DMUni::RejectionOf(const unsigned char* record) { return BrokenRule(ReadValues(record)); }

DMUni::~DMUni() { diagnostics().Out() << "DMUni:  destructing" << std::endl; }

}  // namespace trimwright
