// What a fuel trim cell holds once its records are in: its number, ranges,
// record count and the minimum, mean and maximum BLM of each bank. A plain
// value: the pass plan keeps one per cell, and the cell's lines of the fuel
// trim statistics section are written from it.
#ifndef TRIMWRIGHT_FUELTRIM_TRIMCELLSTATS_H_
#define TRIMWRIGHT_FUELTRIM_TRIMCELLSTATS_H_

#include <cstdint>
#include <ostream>

namespace trimwright {

// One bank's BLMs over a cell's records; meaningful when the cell has any.
struct BlmStats {
  std::int32_t min = 0;
  double avg = 0.0;  // the sum divided by the count, in double
  std::int32_t max = 0;
};

struct TrimCellStats {
  std::int32_t number = 0;
  std::int32_t records = 0;
  float mapLow = 0.0f;
  float mapHigh = 0.0f;
  std::int32_t rpmLow = 0;
  std::int32_t rpmHigh = 0;
  BlmStats left;
  BlmStats right;

  // Writes the cell's lines of the statistics section: the ranges, the
  // statistics when there are records, and an empty line.
  void Print(std::ostream& out) const;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_FUELTRIM_TRIMCELLSTATS_H_
