#include "logdata/Freescan.h"

#include <bit>
#include <cstring>
#include <iostream>

#include "common/NumberText.h"
#include "logdata/ByteMask.h"
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
static_assert(Freescan::kFieldsNeeded == kTemperature + 1);

constexpr double kKpaPerBar = 100;
// Engine temperature: accepted range, warm above.
constexpr TemperatureRule kTemperatureRule{0.0f, 150.0f, 76.0};

constexpr std::int64_t kHeaderLines = 1;

}  // namespace

Freescan::Freescan(const std::string& path, const ReadPlan& plan) {
  TextLogFile file(path, "", plan);

  // The read that meets the end of the file is counted too, and the header is
  // not a record.
  const std::int64_t count = file.CountLineReads() - (kHeaderLines + 1);
  recordCount = CountFromFile(count);
  std::cout << "No. records:  " << recordCount << std::endl;

  Allocate();
  AllocateTemperature();

  std::cout << "reading in data..." << std::flush;
  const std::vector<RecordPart> parts = file.DecodeRecords(
      kHeaderLines, recordCount,
      [this](std::uint32_t index, std::string_view line) { return DecodeRecord(index, line); });
  JoinParts(parts);
  JoinParts(temperature, parts);
  file.Close();
  std::cout << "done" << std::endl;
}

bool Freescan::DecodeRecord(std::uint32_t i, std::string_view line) {
  const FieldList<kFieldsNeeded> fields = SplitCommaFields(line);
  if (fields.size() < kFieldsNeeded) return false;

  rpm[i] = ParseInt(fields[kRpm]);
  blmCell[i] = ParseInt(fields[kBlmCell]);
  blmLeft[i] = ParseInt(fields[kBlmLeft]);
  blmRight[i] = ParseInt(fields[kBlmRight]);
  auxLeft[i] = ParseInt(fields[kAuxLeft]);
  auxRight[i] = ParseInt(fields[kAuxRight]);
  map[i] = NarrowToFloat(ParseDouble(fields[kMapBar]) * kKpaPerBar);
  throttle[i] = NarrowToFloat(ParseDouble(fields[kThrottle]));
  temperature[i] = NarrowToFloat(ParseDouble(fields[kTemperature]));
  return AcceptTextRecord(i, temperature[i], kTemperatureRule);
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

FieldList<Freescan::kFieldsNeeded> Freescan::SplitCommaFields(std::string_view line) {
  // The line is scanned sixteen bytes at a time for commas.
  FieldList<kFieldsNeeded> fields;
  const char* const text = line.data();
  const std::size_t size = line.size();
  std::size_t start = 0;
  // Handles the sixteen bytes from position k; true once the list is full.
  auto scan = [&](const char* bytes, std::size_t k) {
    for (unsigned commas = MatchMask16(bytes, ','); commas != 0; commas &= commas - 1) {
      const std::size_t p = k + static_cast<std::size_t>(std::countr_zero(commas));
      fields.push_back(std::string_view(text + start, p - start));
      if (fields.full()) return true;
      start = p + 1;
    }
    return false;
  };
  std::size_t k = 0;
  for (; k + kMaskBytes <= size; k += kMaskBytes) {
    if (scan(text + k, k)) return fields;
  }
  // The rest, padded with bytes that are no comma.
  char tail[kMaskBytes] = {};
  if (size > k) std::memcpy(tail, text + k, size - k);
  if (scan(tail, k)) return fields;
  fields.push_back(std::string_view(text + start, size - start));
  return fields;
}

}  // namespace trimwright
