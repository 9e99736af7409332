// The limits a careful tuner may set on one pass, all off by default: a
// minimum of records before a fuel trim cell moves the table, a cap on how far
// any VE cell's factor moves from 1.0, and a window of the second trim values
// outside which records stay out of the statistics, a cap on how far any VE
// cell ends from its byte in a baseline image over all passes, and the cells
// the tuner locked; and two ways of reading a drive, also off by default: the
// second trim counted into each record's trims, and factors smoothed between
// the fuel trim cells' centres.
#ifndef TRIMWRIGHT_CALIBRATION_PASSLIMITS_H_
#define TRIMWRIGHT_CALIBRATION_PASSLIMITS_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "calibration/CellRange.h"
#include "fueltrim/FuelTrimTable.h"

namespace trimwright {

// The image the total limit counts from, as the run read it: where it came
// from, in words a tuner reads, and its bytes (shared and never changed, so
// that copies of the limits stay cheap).
struct Baseline {
  std::string source;
  std::shared_ptr<const std::string> bytes;
};

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
  // Largest distance of a VE cell's byte from its byte in the baseline, in
  // percent, over all passes; and the baseline file the tuner named (empty:
  // the oldest image in the image's history).
  std::optional<double> maxTotalChangePercent;
  std::string baselineFile;

  // Filled by the run, never by a front end: the cells the image's locks
  // keep as they are (ascending), and the baseline the total limit counts
  // from.
  std::vector<GridCell> locked;
  std::optional<Baseline> baseline;

  bool AnySet() const {
    return minRecords || maxChangePercent || auxWindow || addSecondTrim || smooth ||
           maxTotalChangePercent || !locked.empty();
  }
};

// Each limit read from its text, the one way the command line, the window's
// settings and its Options dialog take it: a whole number of at least 1
// ("20"); a percentage above 0 of up to six digits and six decimals ("5",
// "2.5"); "LO-HI", two values 0 to 255 with LO not above HI ("118-138"). No
// sign, space, exponent or unit. Throws InvalidRequestError
// saying what the value needs when text is not one.
std::int32_t ParseMinRecords(const std::string& text);
double ParseMaxChangePercent(const std::string& text);
AuxWindow ParseAuxWindow(const std::string& text);

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_PASSLIMITS_H_
