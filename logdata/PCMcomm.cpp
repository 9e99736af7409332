#include "logdata/PCMcomm.h"

#include <ostream>

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

// Engine temperature: accepted range, warm above.
constexpr TemperatureRule kTemperatureRule{-50.0f, 250.0f, 170.0};

constexpr std::int64_t kHeaderLines = 5;

}  // namespace

PCMcomm::PCMcomm(const std::string& path, const ReadPlan& plan, Diagnostics& sink)
    : LoggedData(sink) {
  TextLogFile file(path, "PCMcomm:  ", plan, sink);

  // The read that meets the end of the file is counted too, and the header
  // lines are not records.
  const std::int64_t count = file.CountLineReads() - (kHeaderLines + 1);
  recordCount = CountFromFile(count);
  diagnostics().Out() << "PCMcomm:  No. records:  " << recordCount << std::endl;

  Allocate();
  AllocateTemperature();

  diagnostics().Out() << "PCMcomm:  reading in data..." << std::flush;
  const std::vector<RecordPart> parts = file.DecodeRecords(
      kHeaderLines, recordCount,
      [this](std::uint32_t index, std::string_view line) { return DecodeRecord(index, line); });
  JoinParts(parts);
  JoinParts(temperature, parts);
  file.Close();
  diagnostics().Out() << "done" << std::endl;
}

bool PCMcomm::DecodeRecord(std::uint32_t i, std::string_view line) {
  const Fields fields = SplitSpaceFields(line, ' ');
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
  diagnostics().Out() << "PCMcomm:  destructing..." << std::flush;
  temperature = {};
  diagnostics().Out() << "...done" << std::endl;
}

void PCMcomm::AllocateTemperature() {
  diagnostics().Out() << "PCMcomm:  allocating memory..." << std::flush;
  AllocateArray(temperature);
  diagnostics().Out() << "okay" << std::endl;
}

PCMcomm::Fields PCMcomm::SplitSpaceFields(std::string_view line, char separator) {
  return Fields::Split(line, separator);
}

std::string_view PCMcomm::TextBefore(std::string_view text, char c) {
  // Fields are a few characters long: a plain loop beats a call to memchr.
  std::size_t length = 0;
  while (length < text.size() && text[length] != c) ++length;
  return text.substr(0, length);
}

}  // namespace trimwright
