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
  // How far the image's VE table is from the one that would put the trims
  // of the bank a pass tunes by at the target, in percent: the mean and the
  // largest of |table / ideal - 1| over the tuned VE cells the measuring
  // drive runs in. The simulator knows the engine, so this is the error a
  // tuner cannot see.
  double veErrorMean = 0.0;
  double veErrorWorst = 0.0;
};

// A noisy engine with tip-ins and tip-outs, as a tuner's real drives log it,
// whose VE strays from the simulator's smooth one within every fuel trim cell.
DriveRoughness NoisyEngine();

// NoisyEngine driven right after each flash: its block learn values start at
// 128 and take a while to learn the need, the fast correction carrying the
// rest meanwhile.
DriveRoughness LaggingTrimsEngine();

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

// The four ways of reading a drive that docs/sessions.md compares, on the same
// engine: plain passes, --smooth, --add-second-trim and both; and the limits
// that make each.
struct ReadingWay {
  const char* name;
  bool addSecondTrim;
  bool smooth;
};
inline constexpr ReadingWay kReadingWays[] = {{"plain", false, false},
                                              {"--smooth", false, true},
                                              {"--add-second-trim", true, false},
                                              {"both", true, true}};
// The limits base with the way's options set.
PassLimits LimitsOf(const ReadingWay& way, PassLimits base);

// The first pass whose distance is within `within` counts of the target, or
// -1 when none is.
int PassesToWithin(const std::vector<PassDistance>& distances, double within);

}  // namespace trimwright::tools

#endif  // TRIMWRIGHT_TOOLS_CONVERGENCELOOP_H_
