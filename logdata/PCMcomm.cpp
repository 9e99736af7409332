#include "logdata/PCMcomm.h"

#include <ostream>

#include "common/NumberText.h"
#include "logdata/FieldWalk.h"

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
static_assert(kBlmRight == kBlmLeft + 1 && kAuxLeft == kBlmRight + 1 && kAuxRight == kAuxLeft + 1 &&
              kBlmCell == kAuxRight + 1);

// Engine temperature: accepted range, warm above.
constexpr TemperatureRule kTemperatureRule{-50.0f, 250.0f, 170.0};

constexpr std::int64_t kHeaderLines = 5;

// Reads the fields a record uses, in line order; false for a line without
// exactly kFieldsPerRecord fields, whatever it read before.
[[gnu::always_inline]] inline bool ReadFields(std::string_view line, RecordValues& values,
                                              float& temperature) {
  FieldWalk<FieldRule::kRunsOfSeparators> walk(line, ' ');
  if (!walk.Skip(kRpm)) return false;
  values.rpm = walk.TakeInt();
  if (!walk.Skip(kTemperatureF - (kRpm + 1))) return false;
  temperature = NarrowToFloat(walk.TakeDouble('F'));
  if (!walk.Skip(kThrottlePercent - (kTemperatureF + 1))) return false;
  values.throttle = NarrowToFloat(walk.TakeDouble('%'));
  if (!walk.Skip(kMap - (kThrottlePercent + 1))) return false;
  values.map = NarrowToFloat(walk.TakeDouble(' '));
  if (!walk.Skip(kBlmLeft - (kMap + 1))) return false;
  values.blmLeft = walk.TakeInt();
  values.blmRight = walk.TakeInt();
  values.auxLeft = walk.TakeInt();
  values.auxRight = walk.TakeInt();
  values.blmCell = walk.TakeInt();
  // The last field, and nothing after it.
  return walk.Skip(PCMcomm::kFieldsPerRecord - 1 - (kBlmCell + 1)) && !walk.Skip(1);
}

}  // namespace

PCMcomm::PCMcomm(const std::string& path, const ReadPlan& plan, Diagnostics& sink) : TextLog(sink) {
  ReadRecords(
      path, "PCMcomm:  ", kHeaderLines, plan,
      [this](std::uint32_t index, std::string_view line) { return DecodeRecord(index, line); },
      RejectionOf);
}

bool PCMcomm::DecodeRecord(std::uint32_t i, std::string_view line) {
  RecordValues values;
  return ReadFields(line, values, temperature[i]) &&
         AcceptTextRecord(i, values, temperature[i], kTemperatureRule);
}

Rejection PCMcomm::RejectionOf(std::string_view line) {
  RecordValues values;
  float temperature = 0.0f;
  if (!ReadFields(line, values, temperature)) return Rejection::kUnreadable;
  return BrokenRule(values, temperature, &kTemperatureRule);
}

PCMcomm::~PCMcomm() {
  diagnostics().Out() << "PCMcomm:  destructing..." << std::flush;
  temperature = {};
  diagnostics().Out() << "...done" << std::endl;
}

}  // namespace trimwright
