// One block learn (BLM) cell of the PCM: the records the PCM logged in it,
// its MAP and rpm ranges, the BLM statistics and the VE adjustment factor
// toward a target BLM. Owns its per-record lists. Lives in a FuelTrimTable or,
// as the idle cell, in the calibration object.
#ifndef TRIMWRIGHT_FUELTRIM_FUELTRIMCELL_H_
#define TRIMWRIGHT_FUELTRIM_FUELTRIMCELL_H_

#include <cstdint>
#include <ostream>
#include <vector>

#include "common/Diagnostics.h"
#include "common/RecordAllocator.h"
#include "fueltrim/TrimCellStats.h"

namespace trimwright {

class FuelTrimCell {
 public:
  FuelTrimCell() = default;
  FuelTrimCell(const FuelTrimCell&) = delete;
  FuelTrimCell& operator=(const FuelTrimCell&) = delete;

  void SetNumber(std::int32_t number) { number_ = number; }
  std::int32_t GetNumber() const { return number_; }

  void SetRanges(float mapLow, float mapHigh, std::int32_t rpmLow, std::int32_t rpmHigh);

  // True when the cell's ranges enclose the given ranges, ends included.
  bool Encloses(float mapLow, float mapHigh, std::int32_t rpmLow, std::int32_t rpmHigh) const;

  // Appends one record. Records may be added at any time, from any number of
  // logs; the cached averages start afresh.
  void AddRecord(std::int32_t rpm, float map, std::int32_t blmLeft, std::int32_t blmRight,
                 std::int32_t auxLeft, std::int32_t auxRight);

  // Makes room for count more records at once, so a large log fills the cell
  // without its arrays growing step by step.
  void ReserveRecords(std::size_t count);

  std::int32_t RecordCount() const { return static_cast<std::int32_t>(blmLeft_.size()); }

  // Means of the BLM lists, computed once and cached until a record is added.
  float AverageLeftBlm();
  float AverageRightBlm();

  // True for a target BLM within the advised 118 to 124.
  static bool IsAdvisedTarget(std::int32_t targetBlm);

  // The factor by which the VE values of the cell's region are multiplied to
  // move the BLM to targetBlm, with its warnings. A cell with fewer than
  // minRecords records (and an empty one) gives 1.0: too little data to move
  // the table.
  float AdjustmentFactor(std::int32_t targetBlm, Diagnostics& diagnostics = Diagnostics::Standard(),
                         std::int32_t minRecords = 1);

  // Sets both ranges to the mean plus and minus one standard deviation of the
  // records. An empty cell gets 0 - 0 kPa and 0 - 0 rpm, enclosing nothing.
  void RangesFromRecords();

  // The cell's number, ranges and BLM statistics.
  TrimCellStats Statistics() const;

  // Writes the cell's lines of the fuel trim statistics section.
  void Print(std::ostream& out) const { Statistics().Print(out); }

 private:
  static float CachedAverage(float& cache, const RecordArray<std::int32_t>& values);

  std::int32_t number_ = 0;
  float mapLow_ = 0.0f;
  float mapHigh_ = 0.0f;
  std::int32_t rpmLow_ = 0;
  std::int32_t rpmHigh_ = 0;
  RecordArray<std::int32_t> rpm_;
  RecordArray<float> map_;
  RecordArray<std::int32_t> blmLeft_;
  RecordArray<std::int32_t> blmRight_;
  RecordArray<std::int32_t> auxLeft_;
  RecordArray<std::int32_t> auxRight_;
  float averageLeft_ = -1.0f;  // computed when greater than 0
  float averageRight_ = -1.0f;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_FUELTRIM_FUELTRIMCELL_H_
