#include "capture/StreamValues.h"

namespace trimwright {

namespace {

namespace at = stream_offset;

int Word(const stream::DataBytes& data, int offset) {
  return data[static_cast<std::size_t>(offset)] << 8 | data[static_cast<std::size_t>(offset) + 1];
}

// Sensor volts of a byte: 5 V full scale.
double Volts(int counts) { return counts * 5.0 / 255.0; }

// A temperature byte in degrees Celsius; exact in binary.
double Celsius(int counts) { return counts * 0.75 - 40.0; }

// A pressure byte in bar: (x + 28.06) / 271, computed from whole numbers so
// that it has one rounding only.
double Bar(int counts) { return (counts * 100 + 2806) / 27100.0; }

}  // namespace

StreamValues StreamValues::FromData(const stream::DataBytes& data) {
  auto byte = [&data](int offset) {
    return static_cast<int>(data[static_cast<std::size_t>(offset)]);
  };
  StreamValues v;
  v.closedLoop = (byte(at::kStatus) & kClosedLoopBit) != 0;
  v.blockLearn = (byte(at::kStatus) & kBlockLearnBit) != 0;
  v.desiredIdleRpm = byte(at::kDesiredIdle) * 12.5;
  v.rpm = byte(at::kRpm) * 25;
  v.coolantVolts = Volts(byte(at::kCoolant));
  v.coolantC = Celsius(byte(at::kCoolant));
  v.airTempVolts = Volts(byte(at::kAirTemp));
  v.airTempC = Celsius(byte(at::kAirTemp));
  v.mapBar = Bar(byte(at::kMap));
  v.throttleVolts = Volts(byte(at::kThrottleVolts));
  // x / 2.55 as x * 100 / 255, so that 255 is exactly 100 percent.
  v.throttlePercent = byte(at::kThrottle) * 100 / 255.0;
  v.batteryVolts = byte(at::kBattery) / 10.0;
  v.baroBar = Bar(byte(at::kBaro));
  v.oxygenLeftVolts = byte(at::kOxygenLeft) * 4.44 / 1000.0;
  v.oxygenRightVolts = byte(at::kOxygenRight) * 4.44 / 1000.0;
  v.blmCell = byte(at::kBlmCell);
  v.blmLeft = byte(at::kBlmLeft);
  v.blmRight = byte(at::kBlmRight);
  v.integratorLeft = byte(at::kIntegratorLeft);
  v.integratorRight = byte(at::kIntegratorRight);
  v.pulseWidthLeft = Word(data, at::kPulseWidthLeft);
  v.pulseWidthRight = Word(data, at::kPulseWidthRight);
  v.airFlow = Word(data, at::kAirFlow) * 512.0 / 65536.0;
  v.idleAirPosition = byte(at::kIdleAir);
  v.sparkDegrees = byte(at::kSpark);
  v.knockRetardDegrees = byte(at::kKnockRetard) / 16.0;
  v.knockCount = Word(data, at::kKnockCount);
  v.roadSpeedMph = byte(at::kRoadSpeed);
  v.runningSeconds = Word(data, at::kRunningTime);
  return v;
}

}  // namespace trimwright
