// A block of VE cells named by the labels of the grid, as a tuner types it:
// "1200-1600:50-60" is the rows labelled 1200 to 1600 rpm by the columns
// labelled 50 to 60 kPa ("1200:50" is one cell). Locks are given this way.
// A plain value; GridCell is one cell of the grid by its two labels.
#ifndef TRIMWRIGHT_CALIBRATION_CELLRANGE_H_
#define TRIMWRIGHT_CALIBRATION_CELLRANGE_H_

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

namespace trimwright {

struct GridCell {
  std::int32_t rpm = 0;  // row label
  std::int32_t kpa = 0;  // column label
  auto operator<=>(const GridCell&) const = default;
};

class CellRange {
 public:
  // The range in text, "RPM_LO-RPM_HI:KPA_LO-KPA_HI" or with a single label
  // on either side. Throws InvalidRequestError saying what the
  // text needs when it is not a range, its ends are out of order, or no
  // label of the grid lies in it.
  static CellRange Parse(const std::string& text);

  // The cells of the grid whose labels lie in the range, rows ascending,
  // then columns.
  std::vector<GridCell> Cells() const;

 private:
  std::int32_t rpmLow_ = 0;
  std::int32_t rpmHigh_ = 0;
  std::int32_t kpaLow_ = 0;
  std::int32_t kpaHigh_ = 0;
};

// Cells as text by row, "1200 rpm: 50 55 60 kPa; 1400 rpm: 50 kPa", in
// the order given (sorted when the caller sorted them).
std::string DescribeCells(const std::vector<GridCell>& cells);

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_CELLRANGE_H_
