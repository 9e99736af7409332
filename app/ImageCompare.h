// Two calibration images side by side: every VE cell of the grid in each,
// the change from the first to the second, and the other bytes that differ.
// An image is a file (.bin or .lt1) or "IMAGE@N", the image as it was before
// entry N of IMAGE's history. The two layouts keep the same calibration in
// swapped 64 KiB halves, so a byte is compared with the byte of the same
// field in the other file, wherever its layout puts it. A plain value; the
// images are read under shared locks and nothing is written.
#ifndef TRIMWRIGHT_APP_IMAGECOMPARE_H_
#define TRIMWRIGHT_APP_IMAGECOMPARE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "calibration/PassPlan.h"

namespace trimwright {

// One image to compare, as named on the command line or in the window.
struct CompareSource {
  std::string given;        // as given: "car.bin" or "car.bin@3"
  std::string path;         // the image file
  std::uint64_t entry = 0;  // the history entry whose saved image is meant; 0: the file
  std::string layoutName;   // "Tunercat" or "LT1edit"
  std::string extension;    // "bin" or "lt1"
  std::int64_t size = 0;    // bytes

  // Reads "IMAGE" or "IMAGE@N" (N a history entry number from 1). Throws
  // TrimwrightError with the usage status when the text given names no image format
  // or N is not a number from 1.
  static CompareSource Parse(const std::string& given);
};

// A VE cell in both images; a byte is missing where an image is too short
// for it (only the 7000 rpm row may be).
struct ComparedCell {
  int row = 0;
  int column = 0;
  std::int32_t rpm = 0;
  std::int32_t kpa = 0;
  bool extended = false;
  std::int64_t offsetA = -1;
  std::int64_t offsetB = -1;
  std::optional<std::uint8_t> a;
  std::optional<std::uint8_t> b;

  bool Differs() const { return a && b && *a != *b; }
  // The change from a to b in percent of a; nothing when a byte is missing
  // or a is 0 and b is not.
  std::optional<double> ChangePercent() const;
  // The cell as a pass from a to b would show it, for the views of a pass.
  VECellPlan AsPlanCell() const;
};

// A byte outside the VE tables that differs: its offset in each file.
struct OtherDifference {
  std::int64_t offsetA = 0;
  std::int64_t offsetB = 0;
  std::uint8_t a = 0;
  std::uint8_t b = 0;
};

struct ImageComparison {
  CompareSource a;
  CompareSource b;
  // The whole grid, 25 rows of 17, rows ascending (the 2000 rpm row as the
  // main table holds it), and the extended table's copy of that row.
  std::vector<ComparedCell> grid;
  std::vector<ComparedCell> extendedRow2000;
  // Bytes both files hold outside the VE tables that differ, in A's order.
  std::vector<OtherDifference> others;
  // What the comparison found wrong with an image it compared anyway.
  std::vector<std::string> warnings;

  int DifferingCells() const;
  int DifferingExtendedRow2000() const;
  // The cells of the grid with the largest rise and fall; nullptr for none.
  const ComparedCell* LargestRise() const;
  const ComparedCell* LargestFall() const;
  // The grid as a pass from a to b would show it.
  std::vector<VECellPlan> PlanGrid() const;
  // One line: how many cells differ, the largest rise and fall, how many
  // other bytes differ.
  std::string Summary() const;
};

// Compares the images givenA and givenB name, each under a shared lock,
// after the check a pass makes of an image (ImageCheck): one that is not a
// sound calibration is refused, its layout named when it looks like the
// other one, unless ignoreChecksum (then it is compared with a warning).
// Throws TrimwrightError: the usage status for a text that names no image;
// the file status for an image that cannot be opened or read, is locked by
// a run, is too short to hold the VE tables a pass reaches, is refused by
// its check, or names a history entry that is missing or damaged.
ImageComparison CompareImages(const std::string& givenA, const std::string& givenB,
                              bool ignoreChecksum = false);

// The comparison as indented JSON text ending in a line feed.
std::string ComparisonJson(const ImageComparison& comparison);

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_IMAGECOMPARE_H_
