#include "logdata/Freescan.h"

#include <iostream>

#include "common/NumberText.h"
#include "logdata/TextLogFile.h"

namespace trimwright {

namespace {

// Field positions within a record line.
constexpr std::size_t kRpm = 4;
constexpr std::size_t kBlmCell = 8;
constexpr std::size_t kBlmLeft = 9;
constexpr std::size_t kBlmRight = 10;
constexpr std::size_t kAuxLeft = 11;
constexpr std::size_t kAuxRight = 12;
constexpr std::size_t kMapBar = 17;
constexpr std::size_t kThrottle = 18;
constexpr std::size_t kTemperature = 25;
constexpr std::size_t kFieldsNeeded = kTemperature + 1;

constexpr double kKpaPerBar = 100;
// Engine temperature: accepted range, warm above.
constexpr TemperatureRule kTemperatureRule{0.0f, 150.0f, 76.0};

constexpr std::int64_t kHeaderLines = 1;

}  // namespace

Freescan::Freescan(const std::string& path) {
  TextLogFile file(path, "");

  // The read that meets the end of the file is counted too, and the header is
  // not a record.
  const std::int64_t count = file.CountLineReads() - (kHeaderLines + 1);
  recordCount = CountFromFile(count);
  std::cout << "No. records:  " << recordCount << std::endl;

  file.Rewind();
  Allocate();
  AllocateTemperature();

  std::cout << "reading in data..." << std::flush;
  std::string line;
  file.ReadLine(line);  // header
  std::uint32_t accepted = 0;
  for (std::uint32_t k = 0; k < recordCount; ++k) {
    file.ReadLine(line);
    const std::vector<std::string> fields = SplitCommaFields(line);
    if (fields.size() < kFieldsNeeded) continue;

    rpm[accepted] = ParseInt(fields[kRpm]);
    blmCell[accepted] = ParseInt(fields[kBlmCell]);
    blmLeft[accepted] = ParseInt(fields[kBlmLeft]);
    blmRight[accepted] = ParseInt(fields[kBlmRight]);
    auxLeft[accepted] = ParseInt(fields[kAuxLeft]);
    auxRight[accepted] = ParseInt(fields[kAuxRight]);
    map[accepted] = NarrowToFloat(ParseDouble(fields[kMapBar]) * kKpaPerBar);
    throttle[accepted] = NarrowToFloat(ParseDouble(fields[kThrottle]));
    temperature[accepted] = NarrowToFloat(ParseDouble(fields[kTemperature]));

    if (AcceptTextRecord(accepted, temperature[accepted], kTemperatureRule)) ++accepted;
  }
  recordCount = accepted;
  file.Close();
  std::cout << "done" << std::endl;
}

Freescan::~Freescan() {
  std::cout << "Freescan:  destructor" << std::endl;
  temperature = {};
}

void Freescan::AllocateTemperature() {
  std::cout << "allocating memory..." << std::flush;
  AllocateArray(temperature);
  std::cout << "okay" << std::endl;
}

std::vector<std::string> Freescan::SplitCommaFields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t comma = line.find(','); comma != std::string::npos;
       comma = line.find(',', start)) {
    fields.push_back(line.substr(start, comma - start));
    start = comma + 1;
  }
  fields.push_back(line.substr(start));
  return fields;
}

}  // namespace trimwright
