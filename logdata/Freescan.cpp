#include "logdata/Freescan.h"

#include <ostream>

#include "common/NumberText.h"
#include "logdata/FieldWalk.h"

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
static_assert(kBlmLeft == kBlmCell + 1 && kBlmRight == kBlmLeft + 1 && kAuxLeft == kBlmRight + 1 &&
              kAuxRight == kAuxLeft + 1 && kThrottle == kMapBar + 1);

constexpr double kKpaPerBar = 100;
// Engine temperature: accepted range, warm above.
constexpr TemperatureRule kTemperatureRule{0.0f, 150.0f, 76.0};

constexpr std::int64_t kHeaderLines = 1;

// Reads the fields a record uses, in line order; false for a line with fewer
// than kFieldsNeeded fields, whatever it read before.
[[gnu::always_inline]] inline bool ReadFields(std::string_view line, RecordValues& values,
                                              float& temperature) {
  FieldWalk<FieldRule::kEverySeparator> walk(line, ',');
  if (!walk.Skip(kRpm)) return false;
  values.rpm = walk.TakeInt();
  if (!walk.Skip(kBlmCell - (kRpm + 1))) return false;
  values.blmCell = walk.TakeInt();
  values.blmLeft = walk.TakeInt();
  values.blmRight = walk.TakeInt();
  values.auxLeft = walk.TakeInt();
  values.auxRight = walk.TakeInt();
  if (!walk.Skip(kMapBar - (kAuxRight + 1))) return false;
  values.map = NarrowToFloat(walk.TakeDouble(',') * kKpaPerBar);
  values.throttle = NarrowToFloat(walk.TakeDouble(','));
  if (!walk.Skip(kTemperature - (kThrottle + 1))) return false;
  temperature = NarrowToFloat(walk.TakeDouble(','));
  return true;
}

}  // namespace

Freescan::Freescan(const std::string& path, const ReadPlan& plan, Diagnostics& sink)
    : TextLog(sink) {
  ReadRecords(
      path, "", kHeaderLines, plan,
      [this](std::uint32_t index, std::string_view line) { return DecodeRecord(index, line); },
      RejectionOf);
}

bool Freescan::DecodeRecord(std::uint32_t i, std::string_view line) {
  RecordValues values;
  return ReadFields(line, values, temperature[i]) &&
         AcceptTextRecord(i, values, temperature[i], kTemperatureRule);
}

Rejection Freescan::RejectionOf(std::string_view line) {
  RecordValues values;
  float temperature = 0.0f;
  if (!ReadFields(line, values, temperature)) return Rejection::kUnreadable;
  return BrokenRule(values, temperature, &kTemperatureRule);
}

Freescan::~Freescan() {
  diagnostics().Out() << "Freescan:  destructor" << std::endl;
  temperature = {};
}

}  // namespace trimwright
