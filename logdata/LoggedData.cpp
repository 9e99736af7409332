#include "logdata/LoggedData.h"

#include <algorithm>
#include <iostream>
#include <limits>
#include <string>

#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

constexpr std::int32_t kMinRpm = 500;
constexpr std::int32_t kMaxRpm = 7000;
constexpr float kMinMap = 0.0f;
constexpr float kMaxMap = 105.0f;
constexpr std::int32_t kMinTrim = 0;
constexpr std::int32_t kMaxTrim = 255;
constexpr std::int32_t kMinBlmCell = 0;
constexpr std::int32_t kMaxBlmCell = 18;
constexpr float kMinThrottle = 0.0f;
constexpr float kMaxThrottle = 100.0f;

}  // namespace

LoggedData::LoggedData() { std::cout << "LoggedData:  default constructor\n" << std::flush; }

LoggedData::~LoggedData() {
  std::cout << "LoggedData:  destructing..." << std::flush;
  rpm = {};
  map = {};
  blmLeft = {};
  blmRight = {};
  auxLeft = {};
  auxRight = {};
  blmCell = {};
  engineWarm = {};
  highThrottle = {};
  throttle = {};
  std::cout << "...done" << std::endl;
}

void LoggedData::Allocate() {
  std::cout << "LoggedData:  allocating memory..." << std::flush;
  AllocateArray(rpm);
  AllocateArray(map);
  AllocateArray(blmLeft);
  AllocateArray(blmRight);
  AllocateArray(auxLeft);
  AllocateArray(auxRight);
  AllocateArray(blmCell);
  AllocateArray(engineWarm);
  AllocateArray(highThrottle);
  AllocateArray(throttle);
  std::cout << "okay" << std::endl;
}

void LoggedData::ReportOutOfMemory(const std::bad_alloc& failure) {
  std::cout << "Exception occurred: " << failure.what() << std::endl;
  std::cout << "Could not allocate requested memory - buy some more RAM or" << std::endl;
  std::cout << "or try a smaller file." << std::endl;
  throw TrimwrightError(std::string("Exception occurred: ") + failure.what() +
                        " - could not allocate memory for the logged data; try a smaller file");
}

void LoggedData::JoinParts(const std::vector<RecordPart>& parts) {
  JoinParts(rpm, parts);
  JoinParts(map, parts);
  JoinParts(blmLeft, parts);
  JoinParts(blmRight, parts);
  JoinParts(auxLeft, parts);
  JoinParts(auxRight, parts);
  JoinParts(blmCell, parts);
  JoinParts(engineWarm, parts);
  JoinParts(highThrottle, parts);
  JoinParts(throttle, parts);
  recordCount = 0;
  for (const RecordPart& part : parts) recordCount += part.accepted;
}

std::uint32_t LoggedData::CountFromFile(std::int64_t count) {
  return static_cast<std::uint32_t>(
      std::clamp<std::int64_t>(count, 0, std::numeric_limits<std::uint32_t>::max()));
}

bool LoggedData::PassesSharedRanges(std::uint32_t i) const {
  return InRange(rpm[i], kMinRpm, kMaxRpm) && InRange(map[i], kMinMap, kMaxMap) &&
         InRange(blmLeft[i], kMinTrim, kMaxTrim) && InRange(blmRight[i], kMinTrim, kMaxTrim) &&
         InRange(auxLeft[i], kMinTrim, kMaxTrim) && InRange(auxRight[i], kMinTrim, kMaxTrim) &&
         InRange(blmCell[i], kMinBlmCell, kMaxBlmCell);
}

bool LoggedData::AcceptTextRecord(std::uint32_t i, float temperature, const TemperatureRule& rule) {
  if (!PassesSharedRanges(i) || !InRange(throttle[i], kMinThrottle, kMaxThrottle) ||
      !InRange(temperature, rule.lowest, rule.highest)) {
    return false;
  }
  engineWarm[i] = temperature > rule.warmAbove ? 1 : 0;
  highThrottle[i] = IsHighThrottle(throttle[i], rpm[i]) ? 1 : 0;
  return true;
}

bool LoggedData::IsHighThrottle(float throttleOpening, int engineRpm) {
  double threshold;
  if (engineRpm <= 3200) {
    threshold = 66.0;
  } else if (engineRpm <= 4000) {
    threshold = 57.0;
  } else if (engineRpm <= 4400) {
    threshold = 48.0;
  } else {
    threshold = 28.1;
  }
  return static_cast<double>(throttleOpening) >= threshold;
}

}  // namespace trimwright
