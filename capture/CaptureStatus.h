// What a running capture shows its front end: counts, frame rate, the last
// values and, per fuel trim cell, the records so far and both BLMs' averages;
// and the observer a front end gets it through. Plain values; CaptureTally
// builds them.
#ifndef TRIMWRIGHT_CAPTURE_CAPTURESTATUS_H_
#define TRIMWRIGHT_CAPTURE_CAPTURESTATUS_H_

#include <array>
#include <chrono>
#include <cstdint>

#include "capture/FrameDecoder.h"

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

}  // namespace trimwright

#endif  // TRIMWRIGHT_CAPTURE_CAPTURESTATUS_H_
