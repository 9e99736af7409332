// A tuner's passes over the simulated engine, one after another: log a rough
// drive over the image as it stands, tune the image with a real pass under
// some limits, and see how far the trims of the tuned image sit from the
// target; then drive again over the tuned image. It shows whether a way of
// tuning settles on the target and how fast. Plain functions over files in a
// folder the caller owns.
#ifndef TRIMWRIGHT_TOOLS_CONVERGENCELOOP_H_
#define TRIMWRIGHT_TOOLS_CONVERGENCELOOP_H_

#include <cstdint>
#include <string>
#include <vector>

#include "calibration/PassLimits.h"
#include "tools/DriveSimulator.h"

namespace trimwright::tools {

struct ConvergenceSettings {
  int passes = 10;
  // Samples in each logged drive; the drive of pass k has seed firstSeed + k.
  int driveRecords = 1500;
  std::uint32_t firstSeed = 100;
  DriveRoughness roughness;
  PassLimits limits;
  std::int32_t targetBlm = 124;
  std::int32_t rpmLimit = 3000;
};

// How far the trims sit from the target after a number of passes (0: the
// image before any pass). The trims are those of a smooth drive over the
// image, the same drive for every pass, so that only the table changes.
struct PassDistance {
  int pass = 0;
  // SummarizeTrimCells: the fuel trim cells' mean distance from the target,
  // and their mean BLM - target (below zero the table gives too much fuel).
  double meanDistance = 0.0;
  double meanError = 0.0;
  // SummarizeTrims: the mean distance of single records of both banks.
  double recordDistance = 0.0;
};

// A noisy engine with tip-ins and tip-outs, as a tuner's real drives log it.
DriveRoughness NoisyEngine();

// The limits a careful tuner sets for drives like NoisyEngine's: a cell needs
// some records before it moves the table, no cell moves more than a tenth in a
// pass, and records logged while the fast correction swings stay out.
PassLimits CarefulLimits();

// The options of trimwright-cli that set limits, as a tuner types them
// ("--min-records 30 --max-change 10 --aux-window 118-138"); empty when none is set.
std::string LimitOptions(const PassLimits& limits);

// Runs settings.passes passes on the sample image, writing the logs, the image
// and the reports into folder. Returns settings.passes + 1 distances, pass 0
// first. REQUIRES: folder exists and may be written. Throws TrimwrightError
// when a pass fails or ends early.
std::vector<PassDistance> RunConvergenceLoop(const ConvergenceSettings& settings,
                                             const std::string& folder);

// The first pass whose distance is within `within` counts of the target, or
// -1 when none is.
int PassesToWithin(const std::vector<PassDistance>& distances, double within);

}  // namespace trimwright::tools

#endif  // TRIMWRIGHT_TOOLS_CONVERGENCELOOP_H_
