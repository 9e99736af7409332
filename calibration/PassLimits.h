// The limits a careful tuner may set on one pass, all off by default: a
// minimum of records before a fuel trim cell moves the table, a cap on how far
// any VE cell's factor moves from 1.0, and a window of the second trim values
// outside which records stay out of the statistics; and two ways of reading
// a drive, also off by default: the second trim counted into each record's
// trims, and factors smoothed between the fuel trim cells' centres.
#ifndef TRIMWRIGHT_CALIBRATION_PASSLIMITS_H_
#define TRIMWRIGHT_CALIBRATION_PASSLIMITS_H_

#include <cstdint>
#include <optional>
#include <string>

#include "fueltrim/FuelTrimTable.h"

namespace trimwright {

struct PassLimits {
  // Fuel trim cells (the idle cell too) with fewer records give factor 1.0.
  std::optional<std::int32_t> minRecords;
  // Largest move of a VE cell's factor from 1.0, in percent.
  std::optional<double> maxChangePercent;
  // Records whose second trim values lie outside stay out of the statistics.
  std::optional<AuxWindow> auxWindow;
  // Each record's trims count as BLM + second trim - 128 (clamped to 0 to
  // 255): the whole correction the engine computer applied at that moment.
  bool addSecondTrim = false;
  // Each VE cell's factor interpolated between the centres of the fuel trim
  // cells instead of blended from the cells it overlaps.
  bool smooth = false;

  bool AnySet() const {
    return minRecords || maxChangePercent || auxWindow || addSecondTrim || smooth;
  }
};

// Each limit read from its text, the one way the command line, the window's
// settings and its Options dialog take it: a whole number of at least 1
// ("20"); a percentage above 0 of up to six digits and six decimals ("5",
// "2.5"); "LO-HI", two values 0 to 255 with LO not above HI ("118-138"). No
// sign, space, exponent or unit. Throws TrimwrightError (status kUsage)
// saying what the value needs when text is not one.
std::int32_t ParseMinRecords(const std::string& text);
double ParseMaxChangePercent(const std::string& text);
AuxWindow ParseAuxWindow(const std::string& text);

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_PASSLIMITS_H_
