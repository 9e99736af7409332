#include "calibration/VEGrid.h"

#include <algorithm>
#include <array>

namespace trimwright {

namespace {

constexpr float kTopMapBound = 104.0f;

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
  veKpaBounds.push_back(kTopMapBound);

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

// Both work out the band from the evenly spaced edges instead of searching
// the edge lists: every learning record of a log goes through them.
int VEGrid::RowOf(std::int32_t rpm) {
  static_assert(kRowLowEdges[1] == 500 && kRowLowEdges[18] == 3900 && kRowLowEdges[19] == 4250 &&
                kRowLowEdges[24] == 6750);
  if (rpm < 0) return -1;
  if (rpm < 500) return 0;
  if (rpm < 4250) return std::min(1 + (rpm - 500) / 200, 18);
  return std::min(19 + (rpm - 4250) / 500, kRows - 1);
}

int VEGrid::ColumnOf(float map) {
  static_assert(kColumnLowEdges[1] == 22.5f && kColumnLowEdges[kColumns - 1] == 97.5f);
  if (!(map >= 0.0f)) return -1;
  if (map < 22.5f) return 0;
  if (map >= 97.5f) return kColumns - 1;
  // Exact in double: a float between the edges less 22.5; the quotient by 5
  // stays below the next whole number for any float below its edge.
  return 1 + static_cast<int>((static_cast<double>(map) - 22.5) / 5.0);
}

}  // namespace trimwright
