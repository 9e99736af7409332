#include "capture/StreamCsv.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/NumberText.h"

namespace trimwright {

namespace {

constexpr std::array<const char*, kStreamCsvColumns> kColumnNames = {"Sample",
                                                                     "Coolant Sensor V",
                                                                     "Throttle Sensor V",
                                                                     "Desired Idle RPM",
                                                                     "RPM",
                                                                     "Road Speed MPH",
                                                                     "O2 Left V",
                                                                     "O2 Right V",
                                                                     "BLM Cell",
                                                                     "BLM Left",
                                                                     "BLM Right",
                                                                     "Integrator Left",
                                                                     "Integrator Right",
                                                                     "Pulse Width Left",
                                                                     "Pulse Width Right",
                                                                     "Idle Air Position",
                                                                     "Baro Bar",
                                                                     "MAP Bar",
                                                                     "Throttle %",
                                                                     "Air Temp Sensor V",
                                                                     "Knock Retard Deg",
                                                                     "Knock Count",
                                                                     "Battery V",
                                                                     "Air Flow",
                                                                     "Spark Advance Deg",
                                                                     "Coolant C",
                                                                     "Air Temp C",
                                                                     "Run Time S"};

// Appends text built in a small buffer.
class CsvFields {
 public:
  explicit CsvFields(std::string& line) : line_(line) {}

  void Integer(std::int64_t value) {
    char text[24];
    Append(text, std::to_chars(text, text + sizeof text, value).ptr);
  }

  // Fixed notation rounded to `decimals`, padded on the left to `width`.
  void Fixed(double value, int decimals, std::size_t width = 0) {
    const std::string text = FixedText(value, decimals);
    Separate();
    if (text.size() < width) line_.append(width - text.size(), ' ');
    line_ += text;
  }

  // The shortest fixed notation that reads back as exactly value, with at
  // least `decimals` decimals.
  void Exact(double value, int decimals) {
    char text[400];
    char* end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed).ptr;
    const char* point =
        static_cast<const char*>(std::memchr(text, '.', static_cast<std::size_t>(end - text)));
    int have = point ? static_cast<int>(end - point - 1) : 0;
    if (have < decimals && !point) *end++ = '.';
    for (; have < decimals; ++have) *end++ = '0';
    Append(text, end);
  }

 private:
  void Separate() {
    if (!line_.empty()) line_ += ',';
  }
  void Append(const char* begin, const char* end) {
    Separate();
    line_.append(begin, end);
  }

  std::string& line_;
};

}  // namespace

const std::string& StreamCsvHeader() {
  static const std::string header = [] {
    std::string line;
    for (const char* name : kColumnNames) {
      if (!line.empty()) line += ',';
      line += name;
    }
    return line;
  }();
  return header;
}

std::string StreamCsvLine(std::uint64_t sample, const StreamValues& v) {
  std::string line;
  line.reserve(192);
  CsvFields f(line);
  f.Integer(static_cast<std::int64_t>(sample));
  f.Fixed(v.coolantVolts, 2);
  f.Fixed(v.throttleVolts, 2);
  f.Fixed(v.desiredIdleRpm, 0);
  f.Integer(v.rpm);
  f.Integer(v.roadSpeedMph);
  f.Fixed(v.oxygenLeftVolts, 3);
  f.Fixed(v.oxygenRightVolts, 3);
  f.Integer(v.blmCell);
  f.Integer(v.blmLeft);
  f.Integer(v.blmRight);
  f.Integer(v.integratorLeft);
  f.Integer(v.integratorRight);
  f.Integer(v.pulseWidthLeft);
  f.Integer(v.pulseWidthRight);
  f.Integer(v.idleAirPosition);
  f.Fixed(v.baroBar, 2);
  f.Exact(v.mapBar, 2);
  f.Exact(v.throttlePercent, 0);
  f.Fixed(v.airTempVolts, 2);
  f.Fixed(v.knockRetardDegrees, 1);
  f.Integer(v.knockCount);
  f.Fixed(v.batteryVolts, 1);
  f.Fixed(v.airFlow, 2, 10);
  f.Fixed(v.sparkDegrees, 1);
  f.Exact(v.coolantC, 1);
  f.Exact(v.airTempC, 1);
  f.Integer(v.runningSeconds);
  return line;
}

}  // namespace trimwright
