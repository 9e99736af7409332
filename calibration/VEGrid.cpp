#include "calibration/VEGrid.h"

#include <algorithm>
#include <array>

#include "calibration/ImageLayout.h"

namespace trimwright {

namespace {

// The lower edge of every row, halfway between its label and the one below.
constexpr std::array<std::int32_t, VEGrid::kRows> kRowLowEdges = {
    0,    500,  700,  900,  1100, 1300, 1500, 1700, 1900, 2100, 2300, 2500, 2700,
    2900, 3100, 3300, 3500, 3700, 3900, 4250, 4750, 5250, 5750, 6250, 6750};

// The lower edge of every column.
constexpr std::array<float, VEGrid::kColumns> kColumnLowEdges = {
    0.0f,  22.5f, 27.5f, 32.5f, 37.5f, 42.5f, 47.5f, 52.5f, 57.5f,
    62.5f, 67.5f, 72.5f, 77.5f, 82.5f, 87.5f, 92.5f, 97.5f};

}  // namespace

VEGrid::VEGrid(std::int32_t rpmLimit) {
  // Column edges lie halfway between the 5 kPa labels.
  veKpaBounds.push_back(0.0f);
  float edge = 22.5f;
  do {
    veKpaBounds.push_back(edge);
    edge = edge + 5.0f;
  } while (!(edge > 100.0f));
  veKpaBounds.push_back(static_cast<float>(kTopMapBound));

  // A row is reachable only when its upper edge is below the limit.
  veRpmBounds.push_back(0);
  for (std::int32_t rpm = 500; rpm <= 3900 && rpm < rpmLimit; rpm += 200) {
    veRpmBounds.push_back(rpm);
  }
  for (std::int32_t rpm = 4250; rpm <= 6750 && rpm < rpmLimit; rpm += 500) {
    veRpmBounds.push_back(rpm);
  }

  for (std::int32_t kpa = 20; kpa <= 100; kpa += 5) veKpaAxis.push_back(kpa);
  for (std::int32_t rpm = 400; rpm <= 4000; rpm += 200) veRpmAxis.push_back(rpm);
  for (std::int32_t rpm = 4500; rpm <= 7000; rpm += 500) veRpmAxis.push_back(rpm);
}

namespace {

// The arithmetic of RowOf and ColumnOf against the edge lists: every edge
// opens its own band, and the value just below it belongs to the band before.
constexpr bool BandsMatchEdges() {
  for (int k = 1; k < VEGrid::kRows; ++k) {
    const std::int32_t edge = kRowLowEdges[static_cast<std::size_t>(k)];
    if (VEGrid::RowOf(edge) != k || VEGrid::RowOf(edge - 1) != k - 1) return false;
  }
  for (int k = 1; k < VEGrid::kColumns; ++k) {
    const float edge = kColumnLowEdges[static_cast<std::size_t>(k)];
    if (VEGrid::ColumnOf(edge) != k || VEGrid::ColumnOf(edge - 0.001f) != k - 1) return false;
  }
  return VEGrid::RowOf(0) == 0 && VEGrid::ColumnOf(0.0f) == 0;
}
static_assert(BandsMatchEdges());

}  // namespace

}  // namespace trimwright
