#include "logdata/PCMcomm.h"

#include <bit>
#include <cstring>
#include <iostream>

#include "common/NumberText.h"
#include "logdata/ByteMask.h"
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

// Engine temperature: accepted range, warm above.
constexpr TemperatureRule kTemperatureRule{-50.0f, 250.0f, 170.0};

constexpr std::int64_t kHeaderLines = 5;

}  // namespace

PCMcomm::PCMcomm(const std::string& path, const ReadPlan& plan) {
  TextLogFile file(path, "PCMcomm:  ", plan);

  // The read that meets the end of the file is counted too, and the header
  // lines are not records.
  const std::int64_t count = file.CountLineReads() - (kHeaderLines + 1);
  recordCount = CountFromFile(count);
  std::cout << "PCMcomm:  No. records:  " << recordCount << std::endl;

  Allocate();
  AllocateTemperature();

  std::cout << "PCMcomm:  reading in data..." << std::flush;
  const std::vector<RecordPart> parts = file.DecodeRecords(
      kHeaderLines, recordCount,
      [this](std::uint32_t index, std::string_view line) { return DecodeRecord(index, line); });
  JoinParts(parts);
  JoinParts(temperature, parts);
  file.Close();
  std::cout << "done" << std::endl;
}

bool PCMcomm::DecodeRecord(std::uint32_t i, std::string_view line) {
  const FieldList<kFieldsPerRecord + 1> fields = SplitSpaceFields(line, ' ');
  if (fields.size() != kFieldsPerRecord) return false;

  rpm[i] = ParseInt(fields[kRpm]);
  map[i] = NarrowToFloat(ParseDouble(fields[kMap]));
  throttle[i] = NarrowToFloat(ParseDouble(TextBefore(fields[kThrottlePercent], '%')));
  temperature[i] = NarrowToFloat(ParseDouble(TextBefore(fields[kTemperatureF], 'F')));
  blmLeft[i] = ParseInt(fields[kBlmLeft]);
  blmRight[i] = ParseInt(fields[kBlmRight]);
  auxLeft[i] = ParseInt(fields[kAuxLeft]);
  auxRight[i] = ParseInt(fields[kAuxRight]);
  blmCell[i] = ParseInt(fields[kBlmCell]);
  return AcceptTextRecord(i, temperature[i], kTemperatureRule);
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

FieldList<PCMcomm::kFieldsPerRecord + 1> PCMcomm::SplitSpaceFields(std::string_view line,
                                                                   char separator) {
  // A field is a run of non-separators; separators at the start of the line
  // (or an empty line) give one empty first field. The line is scanned sixteen
  // bytes at a time for the places where a run of separators begins or ends.
  FieldList<kFieldsPerRecord + 1> fields;
  const char* const text = line.data();
  const std::size_t size = line.size();
  if (size == 0 || text[0] == separator) fields.push_back(std::string_view(text, 0));

  std::size_t start = 0;
  // The start of the line counts as following a separator.
  unsigned afterSeparator = 1;
  // Handles the sixteen bytes from position k; true once the list is full.
  auto scan = [&](const char* bytes, std::size_t k) {
    const unsigned separators = MatchMask16(bytes, separator);
    const unsigned before = ((separators << 1) | afterSeparator) & 0xFFFFu;
    afterSeparator = (separators >> (kMaskBytes - 1)) & 1u;
    for (unsigned changes = separators ^ before; changes != 0; changes &= changes - 1) {
      const std::size_t p = k + static_cast<std::size_t>(std::countr_zero(changes));
      if (((separators >> (p - k)) & 1u) == 0) {
        start = p;  // a field begins
      } else {
        fields.push_back(std::string_view(text + start, p - start));
        if (fields.full()) return true;
      }
    }
    return false;
  };
  std::size_t k = 0;
  for (; k + kMaskBytes <= size; k += kMaskBytes) {
    if (scan(text + k, k)) return fields;
  }
  // The rest, padded with separators: the padding ends a field that runs to
  // the end of the line and starts none.
  char tail[kMaskBytes];
  std::memset(tail, separator, sizeof tail);
  if (size > k) std::memcpy(tail, text + k, size - k);
  scan(tail, k);
  return fields;
}

std::string_view PCMcomm::TextBefore(std::string_view text, char c) {
  return text.substr(0, text.find(c));
}

}  // namespace trimwright
