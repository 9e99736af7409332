#include "calibration/CellRange.h"

#include <optional>

#include "calibration/VEGrid.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

constexpr std::size_t kMaxLabelDigits = 5;

std::optional<std::int32_t> Label(const std::string& text) {
  if (text.empty() || text.size() > kMaxLabelDigits) return std::nullopt;
  std::int32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// "LO-HI" or one label "N" (LO = HI = N); nothing when text is neither or LO
// is above HI.
bool ParseEnds(const std::string& text, std::int32_t& low, std::int32_t& high) {
  const std::size_t dash = text.find('-');
  const std::optional<std::int32_t> first = Label(text.substr(0, dash));
  const std::optional<std::int32_t> second =
      dash == std::string::npos ? first : Label(text.substr(dash + 1));
  if (!first || !second || *first > *second) return false;
  low = *first;
  high = *second;
  return true;
}

}  // namespace

CellRange CellRange::Parse(const std::string& text) {
  CellRange range;
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos ||
      !ParseEnds(text.substr(0, colon), range.rpmLow_, range.rpmHigh_) ||
      !ParseEnds(text.substr(colon + 1), range.kpaLow_, range.kpaHigh_)) {
    throw InvalidRequestError(
        "needs RPM_LO-RPM_HI:KPA_LO-KPA_HI, whole numbers with each low end not above its high "
        "end (such as 1200-1600:50-60, or 1200:50 for one cell), got '" +
        text + "'");
  }
  if (range.Cells().empty()) {
    throw InvalidRequestError("'" + text +
                              "' holds no VE cell: the rows are labelled 400 to 4000 rpm in "
                              "steps of 200 and 4500 to 7000 in steps of 500, the columns 20 "
                              "to 100 kPa in steps of 5");
  }
  return range;
}

std::vector<GridCell> CellRange::Cells() const {
  const VEGrid grid(0);
  std::vector<GridCell> cells;
  for (const std::int32_t rpm : grid.veRpmAxis) {
    if (rpm < rpmLow_ || rpm > rpmHigh_) continue;
    for (const std::int32_t kpa : grid.veKpaAxis) {
      if (kpa >= kpaLow_ && kpa <= kpaHigh_) cells.push_back(GridCell{rpm, kpa});
    }
  }
  return cells;
}

std::string DescribeCells(const std::vector<GridCell>& cells) {
  std::string text;
  for (std::size_t k = 0; k < cells.size(); ++k) {
    const bool newRow = k == 0 || cells[k].rpm != cells[k - 1].rpm;
    if (newRow) {
      if (k > 0) text += " kPa; ";
      text += std::to_string(cells[k].rpm) + " rpm:";
    }
    text += " " + std::to_string(cells[k].kpa);
  }
  if (!cells.empty()) text += " kPa";
  return text;
}

}  // namespace trimwright
