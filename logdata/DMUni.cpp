#include "logdata/DMUni.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "common/NumberText.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

// Field offsets within a record.
constexpr int kEngineWarmFlags = 15;
constexpr int kHighThrottleFlags = 16;
constexpr int kRpmCounts = 24;
constexpr int kMapCounts = 30;
constexpr int kBlmCell = 39;
constexpr int kBlmLeft = 40;
constexpr int kBlmRight = 41;
constexpr int kAuxLeft = 42;
constexpr int kAuxRight = 43;

constexpr int kRpmPerCount = 25;
constexpr double kMapKpaPerCount = 0.3688;
constexpr double kMapKpaOffset = 10.4;

}  // namespace

DMUni::DMUni(const std::string& path) {
  std::cout << "DMUni:  in constructor with arg " << path << std::endl;

  // A directory opens like a file on Linux but has no bytes to read.
  std::error_code ignored;
  std::ifstream file;
  if (!std::filesystem::is_directory(path, ignored)) {
    file.open(path, std::ios::in | std::ios::binary);
  }
  if (!file.is_open()) {
    const std::string message = "Unable to open datamaster file " + path;
    std::cout << message << std::endl;
    throw TrimwrightError(message);
  }

  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  const std::streamoff count = size / kRecordSize - 1;
  // A file shorter than its header record holds no data records.
  recordCount = CountFromFile(count);
  std::cout << "DMUni:  the number of records is " << recordCount << std::endl;

  Allocate();

  std::cout << "DMUni:  reading in data..." << std::flush;
  // The header record is skipped; data records follow it back to back.
  file.clear();
  file.seekg(kRecordSize, std::ios::beg);
  std::array<unsigned char, kRecordSize> record;
  std::uint32_t accepted = 0;
  for (std::uint32_t k = 0; k < recordCount; ++k) {
    // A short read (the file shrank meanwhile) leaves zeros, which no record
    // acceptance rule lets through.
    record.fill(0);
    file.read(reinterpret_cast<char*>(record.data()), kRecordSize);
    file.clear();

    rpm[accepted] = record[kRpmCounts] * kRpmPerCount;
    map[accepted] = NarrowToFloat(record[kMapCounts] * kMapKpaPerCount + kMapKpaOffset);
    blmCell[accepted] = record[kBlmCell];
    blmLeft[accepted] = record[kBlmLeft];
    blmRight[accepted] = record[kBlmRight];
    auxLeft[accepted] = record[kAuxLeft];
    auxRight[accepted] = record[kAuxRight];
    if (PassesSharedRanges(accepted)) {
      engineWarm[accepted] = record[kEngineWarmFlags] & 1;
      highThrottle[accepted] = record[kHighThrottleFlags] & 1;
      ++accepted;
    }
  }
  std::cout << "okay" << std::endl;
  recordCount = accepted;
}

DMUni::~DMUni() { std::cout << "DMUni:  destructing" << std::endl; }

}  // namespace trimwright
