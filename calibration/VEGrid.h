// The VE grid of the calibration: 25 rpm rows by 17 MAP columns with their
// labels and band edges, and which rows an rpm limit lets a pass reach. A
// plain value built once per pass; it reads no file.
#ifndef TRIMWRIGHT_CALIBRATION_VEGRID_H_
#define TRIMWRIGHT_CALIBRATION_VEGRID_H_

#include <algorithm>
#include <cstdint>
#include <vector>

namespace trimwright {

class VEGrid {
 public:
  static constexpr int kRows = 25;
  static constexpr int kColumns = 17;
  static constexpr int kMainVeRows = 9;
  static constexpr int kFirstExtendedRow = 8;  // the 2000 rpm row, in both tables
  // A pass reaches the extended table's rows up to 6500 rpm.
  static constexpr int kExtendedRows = 16;
  // The table itself holds one row more, 7000 rpm, which no rpm limit
  // reaches: it is shown as the image holds it and never tuned.
  static constexpr int kExtendedTableRows = 17;

  explicit VEGrid(std::int32_t rpmLimit);

  // Rows whose upper edge is below the rpm limit.
  int ReachableRows() const { return static_cast<int>(veRpmBounds.size()) - 1; }
  int Columns() const { return static_cast<int>(veKpaBounds.size()) - 1; }

  // The row and column whose band holds a logged record, lower edge included
  // and upper edge excluded; every row's edges lie halfway between labels, the
  // first row reaching down to 0 rpm and the top row and column open upward.
  // -1 for an rpm or MAP below the first edge or not a number.
  // Inline: every learning record of a log goes through them.
  static constexpr int RowOf(std::int32_t rpm);
  static constexpr int ColumnOf(float map);

  std::vector<std::int32_t> veRpmBounds;  // 0, then the row edges below the limit
  std::vector<float> veKpaBounds;         // 18 column edges
  std::vector<std::int32_t> veRpmAxis;    // 25 row labels
  std::vector<std::int32_t> veKpaAxis;    // 17 column labels
};

// Both work out the band from the evenly spaced edges instead of searching
// the edge lists: rows of 200 rpm from 500 to 3900 (the 3900 row reaching to
// 4250) and of 500 rpm from 4250; columns of 5 kPa from 22.5.
constexpr int VEGrid::RowOf(std::int32_t rpm) {
  if (rpm < 0) return -1;
  if (rpm < 500) return 0;
  if (rpm < 4250) return std::min(1 + (rpm - 500) / 200, 18);
  return std::min(19 + (rpm - 4250) / 500, kRows - 1);
}

constexpr int VEGrid::ColumnOf(float map) {
  if (!(map >= 0.0f)) return -1;
  if (map < 22.5f) return 0;
  if (map >= 97.5f) return kColumns - 1;
  // Exact in double: a float between the edges less 22.5. Its product with
  // the double nearest 0.2 truncates as its quotient by 5 would: a float
  // below an edge lies at least 2^-19 below it, far more than the product's
  // rounding, and a float on an edge gives the whole number or just above it
  // (checked for every float of the range by the tests). A product costs a
  // fraction of a division.
  return 1 + static_cast<int>((static_cast<double>(map) - 22.5) * 0.2);
}

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_VEGRID_H_
