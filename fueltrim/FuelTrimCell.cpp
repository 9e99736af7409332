#include "fueltrim/FuelTrimCell.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace trimwright {

namespace {

constexpr std::int32_t kLowestAdvisedTarget = 118;
constexpr std::int32_t kHighestAdvisedTarget = 124;
// A bank predicted below this BLM after the change is worth a warning.
constexpr double kLowestPredictedBlm = 112.0;

double Sum(const auto& values) {
  double sum = 0.0;
  for (const auto v : values) sum += static_cast<double>(v);
  return sum;
}

double SumOfSquaredDeviations(const auto& values, double mean) {
  double sum = 0.0;
  for (const auto v : values) {
    const double d = static_cast<double>(v) - mean;
    sum += d * d;
  }
  return sum;
}

}  // namespace

void FuelTrimCell::SetRanges(float mapLow, float mapHigh, std::int32_t rpmLow,
                             std::int32_t rpmHigh) {
  mapLow_ = mapLow;
  mapHigh_ = mapHigh;
  rpmLow_ = rpmLow;
  rpmHigh_ = rpmHigh;
}

bool FuelTrimCell::Encloses(float mapLow, float mapHigh, std::int32_t rpmLow,
                            std::int32_t rpmHigh) const {
  return mapLow_ <= mapLow && mapHigh <= mapHigh_ && rpmLow_ <= rpmLow && rpmHigh <= rpmHigh_;
}

void FuelTrimCell::ReserveRecords(std::size_t count) {
  if (!keepsRanges_) return;
  const std::size_t total = rpm_.size() + count;
  rpm_.reserve(total);
  map_.reserve(total);
}

float FuelTrimCell::Average(const BankSums& bank) const {
  return static_cast<float>(static_cast<double>(bank.sum) / static_cast<double>(count_));
}

bool FuelTrimCell::IsAdvisedTarget(std::int32_t targetBlm) {
  return targetBlm >= kLowestAdvisedTarget && targetBlm <= kHighestAdvisedTarget;
}

float FuelTrimCell::AdjustmentFactor(std::int32_t targetBlm, Diagnostics& diagnostics,
                                     std::int32_t minRecords) {
  if (!IsAdvisedTarget(targetBlm)) {
    diagnostics.Warning(StreamedText("Warning - you are tuning for a blm of ", targetBlm,
                                     ".\nIt is recommended you tune for 118 - 124"));
  }
  if (RecordCount() <= 0 || RecordCount() < minRecords) return 1.0f;

  const float left = AverageLeftBlm();
  const float right = AverageRightBlm();
  const float target = static_cast<float>(targetBlm);
  // The bank that needs more fuel decides; the other one is only checked
  // against the floor.
  if (left > right) {
    const float factor = left / target;
    const float predictedRight = right / factor;
    if (predictedRight < kLowestPredictedBlm) {
      diagnostics.Warning(StreamedText("Warning:  tuning your left blm to ", targetBlm,
                                       " puts your right blm to ", predictedRight));
    }
    return factor;
  }
  const float factor = right / target;
  const float predictedLeft = left / factor;
  if (predictedLeft < kLowestPredictedBlm) {
    diagnostics.Warning(StreamedText("Warning:  tuning your right blm to ", targetBlm,
                                     " puts your left blm to ", predictedLeft));
  }
  return factor;
}

void FuelTrimCell::RangesFromRecords() {
  if (!keepsRanges_) throw std::logic_error("RangesFromRecords on a cell that keeps no ranges");
  if (map_.empty()) {
    SetRanges(0.0f, 0.0f, 0, 0);
    return;
  }
  const double count = static_cast<double>(map_.size());
  const double meanMapExact = Sum(map_) / count;
  const double meanRpmExact = Sum(rpm_) / count;
  const float meanMap = static_cast<float>(meanMapExact);
  const float meanRpm = static_cast<float>(meanRpmExact);
  const float mapDeviation =
      static_cast<float>(std::sqrt(SumOfSquaredDeviations(map_, meanMapExact) / count));
  const double rpmDeviation = std::sqrt(SumOfSquaredDeviations(rpm_, meanRpmExact) / count);
  SetRanges(meanMap - mapDeviation, meanMap + mapDeviation,
            static_cast<std::int32_t>(static_cast<double>(meanRpm) - rpmDeviation),
            static_cast<std::int32_t>(static_cast<double>(meanRpm) + rpmDeviation));
}

TrimCellStats FuelTrimCell::Statistics() const {
  TrimCellStats stats;
  stats.number = number_;
  stats.records = RecordCount();
  stats.mapLow = mapLow_;
  stats.mapHigh = mapHigh_;
  stats.rpmLow = rpmLow_;
  stats.rpmHigh = rpmHigh_;
  if (count_ == 0) return stats;
  const double count = static_cast<double>(count_);
  stats.left = {left_.min, static_cast<double>(left_.sum) / count, left_.max};
  stats.right = {right_.min, static_cast<double>(right_.sum) / count, right_.max};
  return stats;
}

}  // namespace trimwright
