// The engine computer's values in one data-stream frame, in engineering
// units: what a captured record holds, what the capture's status shows, and
// what the .csv record prints. A plain value, made from the frame's data
// bytes.
#ifndef TRIMWRIGHT_CAPTURE_STREAMVALUES_H_
#define TRIMWRIGHT_CAPTURE_STREAMVALUES_H_

#include <cstdint>

#include "capture/StreamFrame.h"

namespace trimwright {

struct StreamValues {
  bool closedLoop = false;
  bool blockLearn = false;
  double desiredIdleRpm = 0.0;
  int rpm = 0;
  double coolantVolts = 0.0;
  double coolantC = 0.0;
  double airTempVolts = 0.0;
  double airTempC = 0.0;
  double mapBar = 0.0;
  double throttleVolts = 0.0;
  double throttlePercent = 0.0;
  double batteryVolts = 0.0;
  double baroBar = 0.0;
  double oxygenLeftVolts = 0.0;
  double oxygenRightVolts = 0.0;
  int blmCell = 0;
  int blmLeft = 128;
  int blmRight = 128;
  int integratorLeft = 128;
  int integratorRight = 128;
  // The 16-bit counts, 65.536 to the millisecond.
  int pulseWidthLeft = 0;
  int pulseWidthRight = 0;
  double airFlow = 0.0;
  int idleAirPosition = 0;
  double sparkDegrees = 0.0;
  double knockRetardDegrees = 0.0;
  int knockCount = 0;
  int roadSpeedMph = 0;
  int runningSeconds = 0;

  // The values of a frame's 60 data bytes.
  static StreamValues FromData(const stream::DataBytes& data);

  // The manifold pressure in kPa, as a log reader computes it from the bar.
  double MapKpa() const { return mapBar * 100.0; }
};

// The offsets of the data bytes within a data-stream frame's data.
namespace stream_offset {
inline constexpr int kStatus = 12;
inline constexpr int kDesiredIdle = 20;
inline constexpr int kRpm = 21;
inline constexpr int kCoolant = 22;
inline constexpr int kAirTemp = 24;
inline constexpr int kMap = 27;
inline constexpr int kThrottleVolts = 28;
inline constexpr int kThrottle = 29;
inline constexpr int kBattery = 30;
inline constexpr int kBaro = 31;
inline constexpr int kOxygenLeft = 32;
inline constexpr int kOxygenRight = 33;
inline constexpr int kBlmCell = 36;
inline constexpr int kBlmLeft = 37;
inline constexpr int kBlmRight = 38;
inline constexpr int kIntegratorLeft = 39;
inline constexpr int kIntegratorRight = 40;
inline constexpr int kPulseWidthLeft = 41;   // 16 bits, high byte first
inline constexpr int kPulseWidthRight = 43;  // 16 bits
inline constexpr int kAirFlow = 45;          // 16 bits
inline constexpr int kIdleAir = 48;
inline constexpr int kSpark = 50;
inline constexpr int kKnockRetard = 51;
inline constexpr int kKnockCount = 52;  // 16 bits
inline constexpr int kRoadSpeed = 57;
inline constexpr int kRunningTime = 58;  // 16 bits
}  // namespace stream_offset

// The status bits of data byte kStatus.
inline constexpr std::uint8_t kClosedLoopBit = 0x01;
inline constexpr std::uint8_t kBlockLearnBit = 0x08;

}  // namespace trimwright

#endif  // TRIMWRIGHT_CAPTURE_STREAMVALUES_H_
