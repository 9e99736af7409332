// Builds a capture's status record by record, in constant memory: the counts
// and last values, the frame rate over the last few records, and the fuel trim
// cells' records and BLM sums. Owned by the capture session for its run.
#ifndef TRIMWRIGHT_CAPTURE_CAPTURETALLY_H_
#define TRIMWRIGHT_CAPTURE_CAPTURETALLY_H_

#include <array>
#include <chrono>
#include <cstdint>

#include "capture/CaptureStatus.h"
#include "capture/FrameDecoder.h"
#include "capture/StreamValues.h"

namespace trimwright {

class CaptureTally {
 public:
  // A record's values, taken at time `at` of the capture's clock.
  void AddRecord(const StreamValues& values, std::chrono::milliseconds at);

  // The status at time `now`, `start` being the capture's start.
  const CaptureStatus& StatusAt(std::chrono::milliseconds start, std::chrono::milliseconds now,
                                const FrameCounts& frames, std::uint64_t repeatedRequests);

 private:
  static constexpr std::size_t kRateWindow = 16;

  CaptureStatus status_;
  std::array<std::uint64_t, CaptureStatus::kCells> blmLeftSums_{};
  std::array<std::uint64_t, CaptureStatus::kCells> blmRightSums_{};
  // The times of the last kRateWindow records, oldest first from next_.
  std::array<std::chrono::milliseconds, kRateWindow> recent_{};
  std::size_t next_ = 0;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CAPTURE_CAPTURETALLY_H_
