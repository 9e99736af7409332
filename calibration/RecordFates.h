// What became of the records of a log, or of a pass's logs together: every
// record counted once, by the first reason that left it out (rejected by the
// reader, engine not warm, high throttle, outside the second trim window) or
// as used, by the cell that took it. The reader counts its rejections; the
// walk over the records counts the rest. A plain value.
#ifndef TRIMWRIGHT_CALIBRATION_RECORDFATES_H_
#define TRIMWRIGHT_CALIBRATION_RECORDFATES_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "logdata/Rejection.h"

namespace trimwright {

struct RecordFates {
  // The cells a record can be used by: the fuel trim cells 0 to 15 and the
  // idle cell 16.
  static constexpr std::size_t kUsedCells = 17;

  std::uint64_t read = 0;      // counted in the file
  RejectionCounts rejected{};  // by the reader, by rule
  // Accepted, warm and at part throttle, but logged in a cell (17 or 18) that
  // no cell of the pass takes; counted among the rejected.
  std::uint64_t noFuelTrimCell = 0;
  std::uint64_t notWarm = 0;
  std::uint64_t highThrottle = 0;  // the idle cell takes its records at any throttle
  std::uint64_t outsideAuxWindow = 0;
  std::array<std::uint64_t, kUsedCells> used{};  // by cell number

  // The reader's rejections and the records no cell takes.
  std::uint64_t Rejected() const;
  std::uint64_t Used() const;
  // The records given a fate; read, for counts of whole logs.
  std::uint64_t Counted() const;

  RecordFates& operator+=(const RecordFates& other);
  bool operator==(const RecordFates& other) const = default;
};

// The name of the records no cell takes among the rules of rejected.
inline constexpr const char* kNoFuelTrimCellName = "no_fuel_trim_cell";

// The fates in one line: "420 read: 20 rejected (rpm 12, unreadable 8), 30
// not warm, 10 at high throttle, 0 outside the second trim window, 360 used".
std::string FatesLine(const RecordFates& fates);

// The rules that rejected records, with their counts ("rpm 12, unreadable
// 8"), in the order of Rejection and no_fuel_trim_cell last; "none" when no
// record was rejected.
std::string RejectionsText(const RecordFates& fates);

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_RECORDFATES_H_
