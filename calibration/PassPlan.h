// The result of planning a pass, as a value: for every VE cell its labels, old
// and new byte, factors, idle blend, overflow and the logged records behind
// it; the fuel trim cells' statistics; the old and new checksum; the bytes of
// the image region the pass rewrites, before and after; and what the pass was
// planned from. The report, the JSON account and the window are written from
// it, and applying it to the image writes exactly its new bytes.
#ifndef TRIMWRIGHT_CALIBRATION_PASSPLAN_H_
#define TRIMWRIGHT_CALIBRATION_PASSPLAN_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "calibration/ImageCheck.h"
#include "calibration/PassLimits.h"
#include "calibration/RecordFates.h"
#include "calibration/VEGrid.h"
#include "common/FileStamp.h"
#include "fueltrim/TrimCellStats.h"

namespace trimwright {

class RecordSample;

// The change from one VE byte to another in percent of the first; 0 when the
// first is 0.
inline double ByteChangePercent(std::uint8_t from, std::uint8_t to) {
  if (from == 0) return 0.0;
  return (static_cast<double>(to) - from) * 100.0 / from;
}

struct VECellPlan {
  int row = 0;               // 0 to 24, by rpm
  int column = 0;            // 0 to 16, by MAP
  std::int32_t rpm = 0;      // row label
  std::int32_t kpa = 0;      // column label
  bool extended = false;     // the byte lies in the extended VE table
  bool inImage = false;      // the image holds this cell (old and new are known)
  bool tuned = false;        // the rpm limit reaches the row, so the pass rewrites it
  std::int64_t offset = -1;  // in the image file
  std::uint8_t oldValue = 0;
  std::uint8_t newValue = 0;
  // Tuned cells only: the fuel trim factor, and for a cell inside the idle
  // cell the idle factor and their mean; applied is what the byte was
  // multiplied by (the mean or the fuel trim factor, capped by the limits;
  // 1 for a locked cell).
  float factor = 1.0f;
  bool idle = false;
  float idleFactor = 1.0f;
  float blendedFactor = 1.0f;
  float appliedFactor = 1.0f;
  // Held by the per-pass cap (capped) or the total limit (totalCapped), in
  // its factor or its byte. Where rounding would have carried the byte across
  // a cap, roundedToCap is set, roundedValue is the byte rounding gave, and
  // the byte written is the last one within the cap, toward the old value.
  bool capped = false;
  bool totalCapped = false;
  bool roundedToCap = false;
  std::uint8_t roundedValue = 0;
  // The cell's byte in the baseline image, when the total limit is on.
  std::uint8_t baselineValue = 0;
  // The image's locks keep this cell: its byte stays, whatever its factor.
  bool locked = false;
  // The new value left 0 to 255, so the old one stays; outOfBounds is that
  // value in VE percent.
  bool overflow = false;
  float outOfBounds = 0.0f;
  // Learning records (warm, not at high throttle, in a fuel trim cell) whose
  // rpm and MAP lie in the cell's band, and the idle cell's records there
  // (the idle cell takes them at any throttle); for display only. Together
  // they are every record used that lies in the band.
  std::uint32_t hits = 0;
  std::uint32_t idleHits = 0;

  // The change of the byte in percent of the old one; 0 when the old one is 0.
  double ChangePercent() const { return ByteChangePercent(oldValue, newValue); }
};

// Records the second trim window left out of one fuel trim cell.
struct FilteredCell {
  std::int32_t number = 0;  // the fuel trim cell, or the idle cell
  std::uint32_t records = 0;
};

struct LogSummary {
  std::string path;
  std::uint32_t records = 0;  // accepted by the reader
  FileStamp stamp;            // the file as it was read
  RecordFates fates;          // what became of each record of the log
};

struct PassPlan {
  // What the pass was planned from.
  std::vector<LogSummary> logs;
  std::string imagePath;
  std::string imageFormat;  // "Tunercat" or "LT1edit"
  std::string imageSha256;  // of the whole image as planned
  FileStamp imageStamp;
  // The image as the run checked it before it read a log; none when the
  // plan was made without a run (or the image could not be checked).
  std::optional<ImageCheck> imageCheck;
  std::int32_t targetBlm = 0;
  std::int32_t rpmLimit = 0;
  PassLimits limits;
  float veScale = 0.0f;

  // The cells the pass rewrites, in the order it visits them: the main table
  // row by row, then the extended table. The 2000 rpm row is in both.
  std::vector<VECellPlan> tunedCells;
  // The whole grid, 25 rows of 17, rows ascending; the 2000 rpm row as the
  // main table holds it, and extendedRow2000 as the extended table does.
  std::vector<VECellPlan> grid;
  std::vector<VECellPlan> extendedRow2000;

  std::vector<TrimCellStats> trimCells;  // numbers 0 to 15
  TrimCellStats idleCell;
  std::vector<std::int32_t> heldBackCells;  // fewer records than the minimum
  std::uint32_t auxFilteredRecords = 0;
  std::vector<FilteredCell> auxFilteredCells;  // ascending by number

  std::int64_t checksumOffset = 0;
  std::uint16_t oldChecksum = 0;
  std::uint16_t newChecksum = 0;
  bool overflow = false;

  // The one stretch of the image the pass writes: its offset, and its bytes
  // as read and as they will be written.
  std::int64_t regionOffset = 0;
  std::string oldRegion;
  std::string newRegion;

  // Warnings in the order the pass gave them.
  std::vector<std::string> warnings;

  // Where the records lie and what became of them, for the window's scatter
  // plot; only when the run was asked for it. Shared, never changed, so a
  // copy of the plan copies no record.
  std::shared_ptr<const RecordSample> recordSample;

  // Each distinct warning once, in the order of its first appearance, with
  // how often it came: the target warning, for one, comes once per factor.
  struct CountedWarning {
    std::string text;
    int count = 0;
    // The text as the JSON and the window list it: with " (xN)" after a
    // warning that came N > 1 times.
    std::string Listed() const {
      return count > 1 ? text + " (x" + std::to_string(count) + ")" : text;
    }
  };
  std::vector<CountedWarning> DistinctWarnings() const;

  const VECellPlan& Cell(int row, int column) const {
    return grid[static_cast<std::size_t>(row * VEGrid::kColumns + column)];
  }
  // Tuned cells whose byte changes.
  int CellsChanged() const;
  // Records the fuel trim table used.
  std::uint32_t RecordsUsed() const;
  // The fates of the records of every log together.
  RecordFates Fates() const;
  // True when the pass's logs gave no record any cell used (an empty log, a
  // log of cold starts), so the pass changes nothing.
  bool NothingToTune() const;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_PASSPLAN_H_
