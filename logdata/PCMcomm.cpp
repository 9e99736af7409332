#include "logdata/PCMcomm.h"

#include <iostream>

#include "common/NumberText.h"
#include "logdata/TextLogFile.h"

namespace trimwright {

namespace {

// Field positions within a record line.
constexpr std::size_t kRpm = 2;
constexpr std::size_t kTemperatureF = 7;
constexpr std::size_t kThrottlePercent = 9;
constexpr std::size_t kMap = 11;
constexpr std::size_t kBlmLeft = 15;
constexpr std::size_t kBlmRight = 16;
constexpr std::size_t kAuxLeft = 17;
constexpr std::size_t kAuxRight = 18;
constexpr std::size_t kBlmCell = 19;
constexpr std::size_t kFieldsPerRecord = 25;

// Engine temperature: accepted range, warm above.
constexpr TemperatureRule kTemperatureRule{-50.0f, 250.0f, 170.0};

constexpr std::int64_t kHeaderLines = 5;

}  // namespace

PCMcomm::PCMcomm(const std::string& path) {
  TextLogFile file(path, "PCMcomm:  ");

  // The read that meets the end of the file is counted too, and the header
  // lines are not records.
  const std::int64_t count = file.CountLineReads() - (kHeaderLines + 1);
  recordCount = CountFromFile(count);
  std::cout << "PCMcomm:  No. records:  " << recordCount << std::endl;

  file.Rewind();
  Allocate();
  AllocateTemperature();

  std::cout << "PCMcomm:  reading in data..." << std::flush;
  std::string line;
  for (std::int64_t h = 0; h < kHeaderLines; ++h) file.ReadLine(line);
  std::uint32_t accepted = 0;
  for (std::uint32_t k = 0; k < recordCount; ++k) {
    file.ReadLine(line);
    const std::vector<std::string> fields = SplitSpaceFields(line, ' ');
    if (fields.size() != kFieldsPerRecord) continue;

    rpm[accepted] = ParseInt(fields[kRpm]);
    map[accepted] = NarrowToFloat(ParseDouble(fields[kMap]));
    throttle[accepted] = NarrowToFloat(ParseDouble(TextBefore(fields[kThrottlePercent], '%')));
    temperature[accepted] = NarrowToFloat(ParseDouble(TextBefore(fields[kTemperatureF], 'F')));
    blmLeft[accepted] = ParseInt(fields[kBlmLeft]);
    blmRight[accepted] = ParseInt(fields[kBlmRight]);
    auxLeft[accepted] = ParseInt(fields[kAuxLeft]);
    auxRight[accepted] = ParseInt(fields[kAuxRight]);
    blmCell[accepted] = ParseInt(fields[kBlmCell]);

    if (AcceptTextRecord(accepted, temperature[accepted], kTemperatureRule)) ++accepted;
  }
  recordCount = accepted;
  file.Close();
  std::cout << "done" << std::endl;
}

PCMcomm::~PCMcomm() {
  std::cout << "PCMcomm:  destructing..." << std::flush;
  temperature = {};
  std::cout << "...done" << std::endl;
}

void PCMcomm::AllocateTemperature() {
  std::cout << "PCMcomm:  allocating memory..." << std::flush;
  AllocateArray(temperature);
  std::cout << "okay" << std::endl;
}

std::vector<std::string> PCMcomm::SplitSpaceFields(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  std::size_t found = line.find(separator);
  while (found != std::string::npos) {
    fields.push_back(line.substr(start, found - start));
    start = line.find_first_not_of(separator, found);
    if (start == std::string::npos) return fields;
    found = line.find(separator, start);
  }
  fields.push_back(line.substr(start));
  return fields;
}

std::string PCMcomm::TextBefore(const std::string& text, char c) {
  return text.substr(0, text.find(c));
}

}  // namespace trimwright
