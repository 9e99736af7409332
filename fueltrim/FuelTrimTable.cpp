#include "fueltrim/FuelTrimTable.h"

#include <ostream>

namespace trimwright {

namespace {

int BandCount(std::size_t boundaries) {
  return boundaries < 2 ? 0 : static_cast<int>(boundaries) - 1;
}

// The band that holds a rectangle's low edge: the largest k with
// bounds[k] <= low, scanning down from the last boundary; -1 when none.
template <typename T>
int LowEdgeBand(const std::vector<T>& bounds, T low) {
  int k = static_cast<int>(bounds.size()) - 1;
  while (k >= 0 && !(bounds[static_cast<std::size_t>(k)] <= low)) --k;
  return k;
}

// The band that holds a rectangle's high edge: the smallest k with
// bounds[k] >= high, scanning up from the first boundary, less one.
template <typename T>
int HighEdgeBand(const std::vector<T>& bounds, T high) {
  int k = 0;
  const int size = static_cast<int>(bounds.size());
  while (k < size && !(bounds[static_cast<std::size_t>(k)] >= high)) ++k;
  return k - 1;
}

bool IsBand(int band, int bandCount) { return band >= 0 && band < bandCount; }

// Where x lies between the centres of the bands of bounds: the bands below
// and above it and how far it is from the lower one (0 at its centre, 1 at
// the upper's); both the outermost band beyond the outermost centres. False
// when the centres do not ascend.
template <typename T>
bool BetweenCentres(const std::vector<T>& bounds, double x, int& low, int& high, double& t) {
  const int bands = BandCount(bounds.size());
  auto centre = [&bounds](int k) {
    return (static_cast<double>(bounds[static_cast<std::size_t>(k)]) +
            static_cast<double>(bounds[static_cast<std::size_t>(k) + 1])) /
           2.0;
  };
  for (int k = 0; k + 1 < bands; ++k) {
    if (!(centre(k) < centre(k + 1))) return false;
  }
  if (bands == 0) return false;
  t = 0.0;
  low = high = x <= centre(0) ? 0 : bands - 1;
  for (int k = 0; k + 1 < bands; ++k) {
    if (x > centre(k) && x < centre(k + 1)) {
      low = k;
      high = k + 1;
      t = (x - centre(k)) / (centre(k + 1) - centre(k));
    } else if (x == centre(k + 1)) {
      low = high = k + 1;
    }
  }
  return true;
}

}  // namespace

FuelTrimTable::FuelTrimTable(const std::vector<std::int32_t>& rpmBounds,
                             const std::vector<float>& mapBounds, Diagnostics& diagnostics)
    : rpmBounds_(rpmBounds),
      mapBounds_(mapBounds),
      cellCount_(BandCount(rpmBounds.size()) * BandCount(mapBounds.size())),
      cells_(std::make_unique<FuelTrimCell[]>(static_cast<std::size_t>(cellCount_))),
      diagnostics_(diagnostics) {
  std::ostream& out = diagnostics_.Out();
  out << "Constructing fuel trim table:" << std::endl;
  // A table cell's ranges are its band's, so it keeps no rpm and MAP lists.
  for (std::int32_t k = 0; k < cellCount_; ++k) {
    Cell(k).SetNumber(k);
    Cell(k).KeepRecordRanges(false);
  }

  const int rpmBands = BandCount(rpmBounds_.size());
  const int mapBands = BandCount(mapBounds_.size());
  for (int i = 0; i < mapBands; ++i) {
    for (int j = 0; j < rpmBands; ++j) {
      const std::int32_t n = i * rpmBands + j;
      const float mapLow = mapBounds_[static_cast<std::size_t>(i)];
      const float mapHigh = mapBounds_[static_cast<std::size_t>(i) + 1];
      const std::int32_t rpmLow = rpmBounds_[static_cast<std::size_t>(j)];
      const std::int32_t rpmHigh = rpmBounds_[static_cast<std::size_t>(j) + 1];
      out << "Creating fuel trim cell " << n << ":  [" << mapLow << ", " << mapHigh << "]["
          << rpmLow << ", " << rpmHigh << "]" << std::endl;
      Cell(n).SetRanges(mapLow, mapHigh, rpmLow, rpmHigh);
    }
  }
}

FuelTrimCell& FuelTrimTable::CellAt(int mapBand, int rpmBand) {
  return Cell(mapBand * BandCount(rpmBounds_.size()) + rpmBand);
}

std::optional<float> FuelTrimTable::SmoothFactor(std::int32_t rpm, float map,
                                                 std::int32_t targetBlm) {
  int j0 = 0;
  int j1 = 0;
  int i0 = 0;
  int i1 = 0;
  double tRpm = 0.0;
  double tMap = 0.0;
  if (!BetweenCentres(rpmBounds_, rpm, j0, j1, tRpm) ||
      !BetweenCentres(mapBounds_, map, i0, i1, tMap)) {
    return std::nullopt;
  }
  // Only the cells with a share are evaluated, so that a point at a centre
  // takes that cell's factor exactly, infinite or not.
  double factor = 0.0;
  auto add = [&](int i, int j, double weight) {
    if (weight > 0.0) {
      factor += weight * CellAt(i, j).AdjustmentFactor(targetBlm, diagnostics_, minRecords_);
    }
  };
  add(i0, j0, (1.0 - tMap) * (1.0 - tRpm));
  add(i0, j1, (1.0 - tMap) * tRpm);
  add(i1, j0, tMap * (1.0 - tRpm));
  add(i1, j1, tMap * tRpm);
  return static_cast<float>(factor);
}

float FuelTrimTable::FactorForVECell(std::int32_t rpmLow, std::int32_t rpmHigh, float mapLow,
                                     float mapHigh, std::int32_t targetBlm) {
  const int mapBands = BandCount(mapBounds_.size());
  const int rpmBands = BandCount(rpmBounds_.size());
  const int i0 = LowEdgeBand(mapBounds_, mapLow);
  const int i1 = HighEdgeBand(mapBounds_, mapHigh);
  const int j0 = LowEdgeBand(rpmBounds_, rpmLow);
  const int j1 = HighEdgeBand(rpmBounds_, rpmHigh);
  // A rectangle reaching outside the outermost boundaries has no band for an
  // edge; it is treated like one whose edges are out of order.
  const bool bandsExist =
      IsBand(i0, mapBands) && IsBand(i1, mapBands) && IsBand(j0, rpmBands) && IsBand(j1, rpmBands);
  auto factor = [&](int i, int j) {
    return CellAt(i, j).AdjustmentFactor(targetBlm, diagnostics_, minRecords_);
  };

  if (bandsExist && i0 == i1 && j0 == j1) return factor(i0, j0);

  if (bandsExist && i0 < i1 && j0 == j1) {
    const float split = mapBounds_[static_cast<std::size_t>(i1)];
    const float weightLow = split - mapLow;
    const float weightHigh = mapHigh - split;
    const float fHigh = factor(i1, j0);
    const float fLow = factor(i0, j0);
    return (fLow * weightLow + fHigh * weightHigh) / (weightLow + weightHigh);
  }

  if (bandsExist && i0 == i1 && j0 < j1) {
    const std::int32_t split = rpmBounds_[static_cast<std::size_t>(j1)];
    const float weightLow = static_cast<float>(split - rpmLow);
    const float weightHigh = static_cast<float>(rpmHigh - split);
    const float fHigh = factor(i0, j1);
    const float fLow = factor(i0, j0);
    return (fLow * weightLow + fHigh * weightHigh) / (weightLow + weightHigh);
  }

  if (bandsExist && i0 < i1 && j0 < j1) {
    const float mapSplit = mapBounds_[static_cast<std::size_t>(i1)];
    const std::int32_t rpmSplit = rpmBounds_[static_cast<std::size_t>(j1)];
    const float mapLowPart = mapSplit - mapLow;
    const float mapHighPart = mapHigh - mapSplit;
    const float rpmLowPart = static_cast<float>(rpmSplit - rpmLow);
    const float rpmHighPart = static_cast<float>(rpmHigh - rpmSplit);
    const float w00 = rpmLowPart * mapLowPart;
    const float w01 = rpmHighPart * mapLowPart;
    const float w10 = rpmLowPart * mapHighPart;
    const float w11 = rpmHighPart * mapHighPart;
    // The warnings of the four factors come in this order.
    const float f11 = factor(i1, j1);
    const float f01 = factor(i0, j1);
    const float f10 = factor(i1, j0);
    const float f00 = factor(i0, j0);
    const float products = f00 * w00 + f01 * w01 + f10 * w10 + f11 * w11;
    const float weights = w00 + w01 + w10 + w11;
    return products / weights;
  }

  diagnostics_.Out() << "No match found for VE Cell [" << mapLow << ", " << mapHigh << "]["
                     << rpmLow << ", " << rpmHigh << std::endl;
  return 1.0f;
}

}  // namespace trimwright
