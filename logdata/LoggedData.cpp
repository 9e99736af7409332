#include "logdata/LoggedData.h"

#include <algorithm>
#include <limits>
#include <ostream>
#include <string>

#include "common/TrimwrightError.h"

namespace trimwright {

void RefuseSpecialLogFile(const DiskFile& file, const std::string& path) {
  if (!file.IsRegularOrNullDevice()) {
    throw TrimwrightError("The log " + path +
                          " is not a regular file (a pipe, socket or device), so it was not "
                          "read; nothing was written");
  }
}

LoggedData::LoggedData(Diagnostics& diagnostics) : diagnostics_(diagnostics) {
  diagnostics_.Out() << "LoggedData:  default constructor\n" << std::flush;
}

LoggedData::~LoggedData() {
  diagnostics_.Out() << "LoggedData:  destructing..." << std::flush;
  ForEachColumn([](auto& column) { column = {}; });
  diagnostics_.Out() << "...done" << std::endl;
}

void LoggedData::Allocate() {
  recordsInFile = recordCount;
  diagnostics_.Out() << "LoggedData:  allocating memory..." << std::flush;
  ForEachColumn([this](auto& column) { AllocateArray(column); });
  diagnostics_.Out() << "okay" << std::endl;
}

void LoggedData::ReportOutOfMemory(const std::bad_alloc& failure) const {
  std::ostream& out = diagnostics_.Out();
  out << "Exception occurred: " << failure.what() << std::endl;
  out << "Could not allocate requested memory - buy some more RAM or" << std::endl;
  out << "or try a smaller file." << std::endl;
  throw TrimwrightError(std::string("Exception occurred: ") + failure.what() +
                        " - could not allocate memory for the logged data; try a smaller file");
}

void LoggedData::JoinParts(const std::vector<RecordPart>& parts) {
  ForEachColumn([&parts](auto& column) { JoinParts(column, parts); });
  recordCount = 0;
  for (const RecordPart& part : parts) {
    recordCount += part.accepted;
    for (std::size_t rule = 0; rule < kRejectionSlots; ++rule)
      rejected[rule] += part.rejected[rule];
  }
}

Rejection LoggedData::BrokenRule(const RecordValues& r, float temperature,
                                 const TemperatureRule* textRule) {
  if (!InRange(r.rpm, kMinRpm, kMaxRpm)) return Rejection::kRpm;
  if (!InRange(r.map, kMinMap, kMaxMap)) return Rejection::kMap;
  if (!InRange(r.blmLeft, kMinTrim, kMaxTrim)) return Rejection::kBlmLeft;
  if (!InRange(r.blmRight, kMinTrim, kMaxTrim)) return Rejection::kBlmRight;
  if (!InRange(r.auxLeft, kMinTrim, kMaxTrim)) return Rejection::kAuxLeft;
  if (!InRange(r.auxRight, kMinTrim, kMaxTrim)) return Rejection::kAuxRight;
  if (textRule && !InRange(r.throttle, kMinThrottle, kMaxThrottle)) return Rejection::kThrottle;
  if (textRule && !InRange(temperature, textRule->lowest, textRule->highest)) {
    return Rejection::kTemperature;
  }
  return Rejection::kBlmCell;
}

std::uint32_t LoggedData::CountFromFile(std::int64_t count) {
  return static_cast<std::uint32_t>(
      std::clamp<std::int64_t>(count, 0, std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace trimwright
