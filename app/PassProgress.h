// The progress of an image across its passes, read from its history: for
// every entry, oldest first, when it ran, its logs and records, and how far
// the fuel trims of the drive it read lay from its target (mean over the fuel
// trim cells weighted by records, and the worst cell; for both banks together
// and for each). A plain value made from the stored plans; it keeps no file.
#ifndef TRIMWRIGHT_APP_PASSPROGRESS_H_
#define TRIMWRIGHT_APP_PASSPROGRESS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/StoredPlan.h"

namespace trimwright {

// How far fuel trims lie from a target, in BLM counts.
struct TrimDistance {
  double mean = 0.0;   // over the cells with records, weighted by their records
  double worst = 0.0;  // the cell farthest off
  std::int32_t worstCell = -1;
};

struct ProgressPoint {
  std::uint64_t number = 0;  // the entry's sequence number
  std::string name;          // its folder name
  std::string time;          // UTC, "2026-12-09 10:15:00"
  std::string kind;          // "pass" or "undo"; empty for a damaged entry
  bool undone = false;       // a pass a later undo took back
  std::uint64_t undoes = 0;  // an undo: the number of the pass it took back
  bool imageAsLeft = false;  // the image is still as this entry left it
  std::string damage;        // why the entry or its stored plan cannot be read; empty if sound

  struct Log {
    std::string path;
    std::optional<std::uint32_t> records;  // when the stored plan says
  };
  std::vector<Log> logs;
  std::int32_t targetBlm = 0;
  std::int32_t rpmLimit = 0;
  std::int32_t cellsChanged = 0;
  std::uint32_t recordsUsed = 0;
  std::string limitsJson;  // the stored plan's "limits" object, as JSON text
  bool planRead = false;   // a pass whose stored plan was read

  // A pass whose stored plan was read: the drive's trims against its target.
  // Each fuel trim cell counts by the bank farther from the target; the
  // banks apart for the chart.
  std::optional<TrimDistance> distance;
  std::optional<TrimDistance> left;
  std::optional<TrimDistance> right;
  std::int32_t cellsWithRecords = 0;
};

// The entries of the history of imagePath, oldest first, damaged ones
// included as such. Takes the image's shared lock while it reads. Throws
// TrimwrightError when the image or the history folder cannot be read or a
// run holds the image.
std::vector<ProgressPoint> ReadProgress(const std::string& imagePath);

// The distance of a pass's fuel trim statistics from its target, from the
// plan its entry stored; false when a cell with records lacks its mean BLMs.
// Sets point's distances, records, limits and log counts.
bool ReadStoredPlan(const StoredPlan& plan, ProgressPoint& point);

// The progress as indented JSON text ending in a line feed: an object with
// "version", "image" and "passes".
std::string ProgressJson(const std::string& imagePath, const std::vector<ProgressPoint>& points);

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_PASSPROGRESS_H_
