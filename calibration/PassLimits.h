// The limits a careful tuner may set on one pass, all off by default: a
// minimum of records before a fuel trim cell moves the table, a cap on how far
// any VE cell's factor moves from 1.0, and a window of the second trim values
// outside which records stay out of the statistics.
#ifndef TRIMWRIGHT_CALIBRATION_PASSLIMITS_H_
#define TRIMWRIGHT_CALIBRATION_PASSLIMITS_H_

#include <cstdint>
#include <optional>

#include "fueltrim/FuelTrimTable.h"

namespace trimwright {

struct PassLimits {
  // Fuel trim cells (the idle cell too) with fewer records give factor 1.0.
  std::optional<std::int32_t> minRecords;
  // Largest move of a VE cell's factor from 1.0, in percent.
  std::optional<double> maxChangePercent;
  // Records whose second trim values lie outside stay out of the statistics.
  std::optional<AuxWindow> auxWindow;

  bool AnySet() const { return minRecords || maxChangePercent || auxWindow; }
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_PASSLIMITS_H_
