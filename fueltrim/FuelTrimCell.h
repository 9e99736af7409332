// One block learn (BLM) cell of the PCM: the records the PCM logged in it,
// its MAP and rpm ranges, the BLM statistics and the VE adjustment factor
// toward a target BLM. Lives in a FuelTrimTable or, as the idle cell, in the
// calibration object.
//
// The BLMs are kept as exact running sums, minimums and maximums, which is all
// the statistics and the factor read, so a cell costs the same memory for ten
// records as for ten million. Only the rpm and MAP of every record are kept,
// for RangesFromRecords, and a cell whose ranges come from elsewhere (every
// cell of a table) can drop them with KeepRecordRanges(false).
#ifndef TRIMWRIGHT_FUELTRIM_FUELTRIMCELL_H_
#define TRIMWRIGHT_FUELTRIM_FUELTRIMCELL_H_

#include <algorithm>
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

  // Whether the cell keeps each record's rpm and MAP for RangesFromRecords
  // (the default). Set before the first record is added.
  void KeepRecordRanges(bool keep) { keepsRanges_ = keep; }

  // Takes one record. Records may be added at any time, from any number of
  // logs.
  void AddRecord(std::int32_t rpm, float map, std::int32_t blmLeft, std::int32_t blmRight);

  // Makes room for count more records at once, so a large log fills the cell
  // without its arrays growing step by step.
  void ReserveRecords(std::size_t count);

  std::int32_t RecordCount() const { return static_cast<std::int32_t>(count_); }

  // Means of the BLMs of the records added so far.
  float AverageLeftBlm() const { return Average(left_); }
  float AverageRightBlm() const { return Average(right_); }

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
  // REQUIRES: the cell keeps its records' ranges.
  void RangesFromRecords();

  // The cell's number, ranges and BLM statistics.
  TrimCellStats Statistics() const;

  // Writes the cell's lines of the fuel trim statistics section.
  void Print(std::ostream& out) const { Statistics().Print(out); }

 private:
  // The BLMs of one bank: an exact sum (BLMs are at most 32 bits wide, so
  // 2^32 records cannot overflow it, and the double of a sum below 2^53 is the
  // sum taken in double one value at a time), the smallest and the largest.
  struct BankSums {
    std::int64_t sum = 0;
    std::int32_t min = 0;
    std::int32_t max = 0;

    void Add(std::int32_t blm, bool first) {
      sum += blm;
      min = first ? blm : std::min(min, blm);
      max = first ? blm : std::max(max, blm);
    }
  };

  float Average(const BankSums& bank) const;

  std::int32_t number_ = 0;
  float mapLow_ = 0.0f;
  float mapHigh_ = 0.0f;
  std::int32_t rpmLow_ = 0;
  std::int32_t rpmHigh_ = 0;
  std::uint64_t count_ = 0;
  BankSums left_;
  BankSums right_;
  bool keepsRanges_ = true;
  RecordArray<std::int32_t> rpm_;
  RecordArray<float> map_;
};

// Inline: every learning record of a log comes through here.
inline void FuelTrimCell::AddRecord(std::int32_t rpm, float map, std::int32_t blmLeft,
                                    std::int32_t blmRight) {
  const bool first = count_ == 0;
  left_.Add(blmLeft, first);
  right_.Add(blmRight, first);
  ++count_;
  if (keepsRanges_) {
    rpm_.push_back(rpm);
    map_.push_back(map);
  }
}

}  // namespace trimwright

#endif  // TRIMWRIGHT_FUELTRIM_FUELTRIMCELL_H_
