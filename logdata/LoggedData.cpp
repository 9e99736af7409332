#include "logdata/LoggedData.h"

#include <algorithm>
#include <iostream>
#include <limits>
#include <string>

#include "common/TrimwrightError.h"

namespace trimwright {

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

}  // namespace trimwright
