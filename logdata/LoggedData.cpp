#include "logdata/LoggedData.h"

#include <algorithm>
#include <limits>
#include <ostream>
#include <string>

#include "common/TrimwrightError.h"

namespace trimwright {

LoggedData::LoggedData(Diagnostics& diagnostics) : diagnostics_(diagnostics) {
  diagnostics_.Out() << "LoggedData:  default constructor\n" << std::flush;
}

LoggedData::~LoggedData() {
  diagnostics_.Out() << "LoggedData:  destructing..." << std::flush;
  ForEachColumn([](auto& column) { column = {}; });
  diagnostics_.Out() << "...done" << std::endl;
}

void LoggedData::Allocate() {
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
  for (const RecordPart& part : parts) recordCount += part.accepted;
}

std::uint32_t LoggedData::CountFromFile(std::int64_t count) {
  return static_cast<std::uint32_t>(
      std::clamp<std::int64_t>(count, 0, std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace trimwright
