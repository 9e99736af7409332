#include "calibration/RecordSample.h"

#include <numeric>

namespace trimwright {

RecordSample::RecordSample(std::uint64_t storedRecords, std::size_t limit)
    : cellCounts_(static_cast<std::size_t>(VEGrid::kRows * VEGrid::kColumns)) {
  if (limit == 0) limit = 1;
  stride_ = storedRecords > limit ? (storedRecords + limit - 1) / limit : 1;
  records_.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(storedRecords, limit)));
}

void RecordSample::Add(const LoggedData& data, const AuxWindow& window, std::int32_t tableCells,
                       std::int32_t idleNumber) {
  for (std::uint32_t r = 0; r < data.recordCount; ++r) {
    const RecordFate fate =
        FateOf(data.engineWarm[r] != 0, data.highThrottle[r] != 0, data.blmCell[r],
               window.Contains(data.auxLeft[r], data.auxRight[r]), tableCells, idleNumber);
    const auto slot = static_cast<std::size_t>(fate);
    ++counts_[slot];
    const int row = VEGrid::RowOf(data.rpm[r]);
    const int column = VEGrid::ColumnOf(data.map[r]);
    if (row >= 0 && column >= 0) {
      ++cellCounts_[static_cast<std::size_t>(row * VEGrid::kColumns + column)][slot];
    }
    if (untilNext_ > 0) {
      --untilNext_;
      continue;
    }
    records_.push_back(SampledRecord{data.map[r], data.rpm[r], fate});
    untilNext_ = stride_ - 1;
  }
}

std::uint64_t RecordSample::Total() const {
  return std::accumulate(counts_.begin(), counts_.end(), std::uint64_t{0});
}

}  // namespace trimwright
