// Where a pass's records lie and what became of them, small enough to keep
// after the logs are gone: for every VE cell the records whose rpm and MAP lie
// in its band, counted by fate, and an even sample of at most a set number of
// records with their rpm, MAP and fate, for the window's scatter plot. Filled
// from each log while the run holds it; owns only its counts and its sample.
#ifndef TRIMWRIGHT_CALIBRATION_RECORDSAMPLE_H_
#define TRIMWRIGHT_CALIBRATION_RECORDSAMPLE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "calibration/VEGrid.h"
#include "fueltrim/FuelTrimTable.h"
#include "logdata/LoggedData.h"

namespace trimwright {

// What became of a record the reader accepted (the fates of RecordFates but
// the reader's rejections, whose values are not kept).
enum class RecordFate : std::uint8_t {
  kUsed,
  kNotWarm,
  kHighThrottle,
  kOutsideAuxWindow,
  kNoFuelTrimCell,
};
inline constexpr std::size_t kRecordFates = 5;

struct SampledRecord {
  float map = 0.0f;  // kPa
  std::uint16_t rpm = 0;
  RecordFate fate = RecordFate::kUsed;
};

class RecordSample {
 public:
  static constexpr std::size_t kDefaultLimit = 20000;
  using FateCounts = std::array<std::uint64_t, kRecordFates>;

  // For a pass of storedRecords accepted records in all: the sample takes
  // every record when they are at most limit, otherwise every n-th record
  // (n the smallest that keeps the sample within limit).
  explicit RecordSample(std::uint64_t storedRecords, std::size_t limit = kDefaultLimit);

  // Takes the records of one more log, each with the fate the walk over the
  // records gives it in a table of tableCells fuel trim cells with the idle
  // cell idleNumber and the second trim window.
  void Add(const LoggedData& data, const AuxWindow& window, std::int32_t tableCells,
           std::int32_t idleNumber);

  // The fate of one record, decided as the walk decides it: a cold engine
  // first; then a record no cell takes (high throttle outside the idle cell,
  // or a cell beyond the idle cell); then the window; used otherwise.
  static RecordFate FateOf(bool warm, bool highThrottle, std::int32_t cell, bool insideWindow,
                           std::int32_t tableCells, std::int32_t idleNumber) {
    if (!warm) return RecordFate::kNotWarm;
    if (cell != idleNumber && (highThrottle || cell >= tableCells)) {
      return highThrottle ? RecordFate::kHighThrottle : RecordFate::kNoFuelTrimCell;
    }
    return insideWindow ? RecordFate::kUsed : RecordFate::kOutsideAuxWindow;
  }

  const std::vector<SampledRecord>& records() const { return records_; }
  // Every stride-th record is in the sample (1: all of them).
  std::uint64_t stride() const { return stride_; }
  // The accepted records taken, by fate.
  const FateCounts& counts() const { return counts_; }
  std::uint64_t Total() const;
  // The records whose rpm and MAP lie in the band of the VE cell, by fate.
  const FateCounts& CountsIn(int row, int column) const {
    return cellCounts_[static_cast<std::size_t>(row * VEGrid::kColumns + column)];
  }

 private:
  std::uint64_t stride_ = 1;
  std::uint64_t untilNext_ = 0;  // records to pass over before the next one sampled
  std::vector<SampledRecord> records_;
  FateCounts counts_{};
  std::vector<FateCounts> cellCounts_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_RECORDSAMPLE_H_
