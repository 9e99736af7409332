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

// The right bank needs this much more fuel than the left; a pass tunes by it.
inline constexpr double kRightBankNeed = 1.012;

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

// What a rough engine and a busy right foot add to a drive. The default adds
// nothing: the drive is then exactly the sample drive.
struct DriveRoughness {
  // Extra noise on every closed-loop BLM, uniform within +-blmNoise counts.
  double blmNoise = 0.0;
  // Chance in percent that a cruise record starts a tip-in or tip-out. For a
  // few records afterwards the MAP jumps, the fast correction (auxLeft,
  // auxRight) swings away from 128 and the logged BLMs follow the swing, so
  // they say little about the table.
  double transientPercent = 0.0;
  // How far the engine's VE strays from TrueVe, as a fraction: a smooth
  // ripple a few VE cells wide, so that the error the table must make up
  // varies within every fuel trim cell, as a real engine's does.
  double veRipple = 0.0;
  // How fast the engine computer learns its block learn values after the
  // image was flashed, which starts them all at 128: the part of the gap to
  // the need each record of a cell closes; the fast correction (the second
  // trim) carries the rest meanwhile. 0: learned already, as the sample drive.
  double blmLearnRate = 0.0;

  bool IsSmooth() const {
    return blmNoise == 0.0 && transientPercent == 0.0 && veRipple == 0.0 && blmLearnRate == 0.0;
  }
};

// The VE in percent of the engine a drive with roughness runs on: TrueVe with
// the ripple.
double EngineVe(const DriveRoughness& roughness, double rpm, double kpa);

// A drive of `records` samples over `image`, reproducible for one seed.
std::vector<LogSample> SimulateDrive(const CalibrationImage& image, std::uint32_t seed, int records,
                                     const DriveRoughness& roughness = {});

// How far the warm, part-throttle BLMs of a log sit from a target.
struct TrimSummary {
  int records = 0;
  double meanBlm = 0.0;
  double meanDistance = 0.0;  // mean of |BLM - target| over both banks
};
TrimSummary SummarizeTrims(const LoggedData& log, int targetBlm);

// How far the warm part-throttle fuel trim cells (0 to 15) of a log sit from a
// target, as a pass sees them: in each cell the average BLM of the bank that
// needs more fuel, which is the bank a pass tunes by. Cells count by their
// records, so meanBlm and meanDistance are record-weighted means of those
// averages. Unlike SummarizeTrims, neither the noise of single records nor
// the split between the banks, which one table cannot remove, keeps it from 0.
TrimSummary SummarizeTrimCells(const LoggedData& log, int targetBlm);

}  // namespace trimwright::tools

#endif  // TRIMWRIGHT_TOOLS_DRIVESIMULATOR_H_
