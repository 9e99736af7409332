// What a running capture shows its front end: counts, frame rate, the last
// values and, per fuel trim cell, the records so far and both BLMs' averages.
// CaptureTally keeps it record by record in constant memory; observers get
// copies on the capture's thread.
#ifndef TRIMWRIGHT_CAPTURE_CAPTURESTATUS_H_
#define TRIMWRIGHT_CAPTURE_CAPTURESTATUS_H_

#include <array>
#include <chrono>
#include <cstdint>

#include "capture/FrameDecoder.h"
#include "capture/StreamValues.h"

namespace trimwright {

// One fuel trim cell's records in this capture.
struct CellTally {
  std::uint64_t records = 0;
  double blmLeftAverage = 0.0;
  double blmRightAverage = 0.0;
};

struct CaptureStatus {
  static constexpr int kCells = 19;  // BLM cells 0 to 18

  std::uint64_t records = 0;
  std::chrono::milliseconds elapsed{0};
  // Records per second over the last few records; 0 before the second.
  double framesPerSecond = 0.0;
  FrameCounts frames;
  std::uint64_t repeatedRequests = 0;
  // The values of the last record, when there is one.
  bool haveValues = false;
  int rpm = 0;
  double mapKpa = 0.0;
  int blmCell = 0;
  int blmLeft = 0;
  int blmRight = 0;
  // Records with a BLM cell above 18 count in records only.
  std::array<CellTally, kCells> cells{};
};

// Told of every change of a capture's status, on the capture's thread.
class CaptureObserver {
 public:
  virtual ~CaptureObserver() = default;
  virtual void OnStatus(const CaptureStatus& status) = 0;
};

// Builds the status of a capture as its records come.
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

#endif  // TRIMWRIGHT_CAPTURE_CAPTURESTATUS_H_
