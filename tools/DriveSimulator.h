// A simulated engine and drive for the sample data: an engine whose true VE
// differs from the sample image's VE table by a known, smooth error surface,
// and a drive over it (warm-up, idle, cruise, wide-open throttle) logged the
// way the engine computer reports it: the BLM cell from the image's own
// boundaries and BLMs of about 128 x true VE / table VE.
#ifndef TRIMWRIGHT_TOOLS_DRIVESIMULATOR_H_
#define TRIMWRIGHT_TOOLS_DRIVESIMULATOR_H_

#include <cstdint>
#include <vector>

#include "logdata/LoggedData.h"
#include "tools/ImageWriter.h"
#include "tools/LogWriter.h"

namespace trimwright::tools {

// The simulated engine's volumetric efficiency in percent.
double TrueVe(double rpm, double kpa);

// The relative error of the sample image's table: table = true / (1 + error).
double TableError(double rpm, double kpa);

// The sample calibration: boundaries 1200, 2000, 2800 rpm and 40, 60, 80 kPa,
// and VE tables that are off from the true VE by TableError.
CalibrationImage MakeSampleImage();

// The image's VE in percent at any rpm and MAP, interpolated between the
// labels of the VE grid.
double TableVe(const CalibrationImage& image, double rpm, double kpa);

// The BLM cell the engine computer reports: 16 at idle, otherwise the cell of
// the MAP and rpm bands cut by the image's boundary bytes.
int BlmCellFor(const CalibrationImage& image, double rpm, double kpa, bool idle);

// A drive of `records` samples over `image`, reproducible for one seed.
std::vector<LogSample> SimulateDrive(const CalibrationImage& image, std::uint32_t seed,
                                     int records);

// How far the warm, part-throttle BLMs of a log sit from a target.
struct TrimSummary {
  int records = 0;
  double meanBlm = 0.0;
  double meanDistance = 0.0;  // mean of |BLM - target| over both banks
};
TrimSummary SummarizeTrims(const LoggedData& log, int targetBlm);

}  // namespace trimwright::tools

#endif  // TRIMWRIGHT_TOOLS_DRIVESIMULATOR_H_
