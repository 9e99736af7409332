#include "fueltrim/FuelTrimCell.h"

#include <algorithm>
#include <cmath>

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

void FuelTrimCell::AddRecord(std::int32_t rpm, float map, std::int32_t blmLeft,
                             std::int32_t blmRight, std::int32_t auxLeft, std::int32_t auxRight) {
  rpm_.push_back(rpm);
  map_.push_back(map);
  blmLeft_.push_back(blmLeft);
  blmRight_.push_back(blmRight);
  auxLeft_.push_back(auxLeft);
  auxRight_.push_back(auxRight);
  averageLeft_ = -1.0f;
  averageRight_ = -1.0f;
}

void FuelTrimCell::ReserveRecords(std::size_t count) {
  const std::size_t total = blmLeft_.size() + count;
  rpm_.reserve(total);
  map_.reserve(total);
  blmLeft_.reserve(total);
  blmRight_.reserve(total);
  auxLeft_.reserve(total);
  auxRight_.reserve(total);
}

float FuelTrimCell::CachedAverage(float& cache, const RecordArray<std::int32_t>& values) {
  if (cache > 0.0f) return cache;
  cache = static_cast<float>(Sum(values) / static_cast<double>(values.size()));
  return cache;
}

float FuelTrimCell::AverageLeftBlm() { return CachedAverage(averageLeft_, blmLeft_); }

float FuelTrimCell::AverageRightBlm() { return CachedAverage(averageRight_, blmRight_); }

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
  if (blmLeft_.empty()) return stats;
  // One pass for both banks. The sums are exact in 64-bit integers (and in a
  // double, which holds every integer up to 2^53), so they equal a sum taken
  // in double one value at a time.
  stats.left = {blmLeft_[0], 0.0, blmLeft_[0]};
  stats.right = {blmRight_[0], 0.0, blmRight_[0]};
  std::int64_t sumLeft = 0;
  std::int64_t sumRight = 0;
  for (std::size_t k = 0; k < blmLeft_.size(); ++k) {
    const std::int32_t left = blmLeft_[k];
    const std::int32_t right = blmRight_[k];
    stats.left.min = std::min(stats.left.min, left);
    stats.left.max = std::max(stats.left.max, left);
    stats.right.min = std::min(stats.right.min, right);
    stats.right.max = std::max(stats.right.max, right);
    sumLeft += left;
    sumRight += right;
  }
  const double count = static_cast<double>(stats.records);
  stats.left.avg = static_cast<double>(sumLeft) / count;
  stats.right.avg = static_cast<double>(sumRight) / count;
  return stats;
}

}  // namespace trimwright
