#include "capture/CaptureTally.h"

#include <algorithm>

namespace trimwright {

void CaptureTally::AddRecord(const StreamValues& values, std::chrono::milliseconds at) {
  ++status_.records;
  status_.haveValues = true;
  status_.rpm = values.rpm;
  status_.mapKpa = values.MapKpa();
  status_.blmCell = values.blmCell;
  status_.blmLeft = values.blmLeft;
  status_.blmRight = values.blmRight;
  if (values.blmCell >= 0 && values.blmCell < CaptureStatus::kCells) {
    const auto k = static_cast<std::size_t>(values.blmCell);
    CellTally& cell = status_.cells[k];
    ++cell.records;
    blmLeftSums_[k] += static_cast<std::uint64_t>(values.blmLeft);
    blmRightSums_[k] += static_cast<std::uint64_t>(values.blmRight);
    cell.blmLeftAverage = static_cast<double>(blmLeftSums_[k]) / static_cast<double>(cell.records);
    cell.blmRightAverage =
        static_cast<double>(blmRightSums_[k]) / static_cast<double>(cell.records);
  }
  recent_[next_] = at;
  next_ = (next_ + 1) % kRateWindow;
}

const CaptureStatus& CaptureTally::StatusAt(std::chrono::milliseconds start,
                                            std::chrono::milliseconds now,
                                            const FrameCounts& frames,
                                            std::uint64_t repeatedRequests) {
  status_.elapsed = now - start;
  status_.frames = frames;
  status_.repeatedRequests = repeatedRequests;
  const std::uint64_t inWindow = std::min<std::uint64_t>(status_.records, kRateWindow);
  status_.framesPerSecond = 0.0;
  if (inWindow >= 2) {
    const std::size_t newest = (next_ + kRateWindow - 1) % kRateWindow;
    const std::size_t oldest = (next_ + kRateWindow - inWindow) % kRateWindow;
    const auto span = recent_[newest] - recent_[oldest];
    if (span.count() > 0) {
      status_.framesPerSecond =
          static_cast<double>(inWindow - 1) * 1000.0 / static_cast<double>(span.count());
    }
  }
  return status_;
}

}  // namespace trimwright
