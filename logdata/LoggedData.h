// One scan-tool log in memory: parallel arrays with one entry per accepted
// record. The base class of the three log readers, whose constructors fill it;
// afterwards it is read-only. It owns its arrays; a reader that needs arrays of
// its own owns and frees those itself.
#ifndef TRIMWRIGHT_LOGDATA_LOGGEDDATA_H_
#define TRIMWRIGHT_LOGDATA_LOGGEDDATA_H_

#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "common/Diagnostics.h"
#include "common/DiskFile.h"
#include "common/RecordAllocator.h"
#include "logdata/Rejection.h"

namespace trimwright {

// The engine temperature rule of a text log: the accepted range and the
// temperature above which the engine counts as warm.
struct TemperatureRule {
  float lowest;
  float highest;
  double warmAbove;
};

// Throws TrimwrightError when the log open in file is neither a regular file
// nor the null device: a pipe's reads would wait for a writer (under the
// image's lock) and a device's may never end.
void RefuseSpecialLogFile(const DiskFile& file, const std::string& path);

// Inclusive range test that a NaN never passes.
template <typename T>
bool InRange(T value, T low, T high) {
  return value >= low && value <= high;
}

// The per-record columns of a logged data set, each as X(element type, name),
// in member order. Declaring, sizing, joining and releasing the columns all
// expand this one list, so a new column is one line here.
//
// Each column is as narrow as the values the acceptance rules let through
// (rpm 500 to 7000, BLMs and aux values 0 to 255, cells 0 to 18), which halves
// the memory a log takes. Indexing a column gives the same value as before;
// integer columns promote to int in any expression. A reader decodes a record
// at full width into RecordValues and stores it only once it is accepted.
#define TRIMWRIGHT_LOGGED_DATA_COLUMNS(X) \
  X(std::uint16_t, rpm)                   \
  X(float, map) /* kPa */                 \
  X(std::uint8_t, blmLeft)                \
  X(std::uint8_t, blmRight)               \
  X(std::uint8_t, auxLeft)                \
  X(std::uint8_t, auxRight)               \
  X(std::uint8_t, blmCell)                \
  X(std::uint8_t, engineWarm)             \
  X(std::uint8_t, highThrottle)           \
  X(float, throttle) /* percent; filled by the text readers only */

// One record's values as a reader decodes them, before the acceptance rules
// decide whether it is stored.
struct RecordValues {
  std::int32_t rpm = 0;
  float map = 0.0f;
  std::int32_t blmLeft = 0;
  std::int32_t blmRight = 0;
  std::int32_t auxLeft = 0;
  std::int32_t auxRight = 0;
  std::int32_t blmCell = 0;
  float throttle = 0.0f;  // the text readers only
};

// One part of a reading pass that ran in parts: its records were stored from
// index `first` on, `accepted` of them were accepted, and the others were
// rejected by the rules counted in `rejected`.
struct RecordPart {
  std::uint32_t first = 0;
  std::uint32_t accepted = 0;
  RejectionCounts rejected{};
};

class LoggedData {
 public:
  // Writes its lines, and those of the reader built on it, to diagnostics,
  // which must outlive the object.
  explicit LoggedData(Diagnostics& diagnostics = Diagnostics::Standard());
  virtual ~LoggedData();

  LoggedData(const LoggedData&) = delete;
  LoggedData& operator=(const LoggedData&) = delete;

  // True when the throttle opening (percent) is at or above the high-throttle
  // threshold of the rpm band; the float throttle is compared in double.
  static bool IsHighThrottle(float throttleOpening, int engineRpm);

  // While a reader reads: the number of records counted in the file, which
  // sizes the arrays. Afterwards: the number of accepted records; entries from
  // here on have no meaning.
  std::uint32_t recordCount = 0;
  // The records counted in the file, which sized the arrays; every one of
  // them is either accepted (recordCount) or counted in rejected by the rule
  // that left it out.
  std::uint32_t recordsInFile = 0;
  RejectionCounts rejected{};
  // A last record line without a line end, which the count of records in
  // the file leaves out (as it always has) and no column holds: 1 when the
  // file ends in one, else 0. Its fate is to be cut off.
  std::uint32_t recordsCutOffAtEnd = 0;

#define TRIMWRIGHT_DECLARE_COLUMN(type, name) RecordArray<type> name;
  TRIMWRIGHT_LOGGED_DATA_COLUMNS(TRIMWRIGHT_DECLARE_COLUMN)
#undef TRIMWRIGHT_DECLARE_COLUMN

  // Calls visit(column) for every column, in member order.
  template <typename Visit>
  void ForEachColumn(Visit&& visit) {
#define TRIMWRIGHT_VISIT_COLUMN(type, name) visit(name);
    TRIMWRIGHT_LOGGED_DATA_COLUMNS(TRIMWRIGHT_VISIT_COLUMN)
#undef TRIMWRIGHT_VISIT_COLUMN
  }

 protected:
  Diagnostics& diagnostics() const { return diagnostics_; }

  // REQUIRES: recordCount holds the count of records in the file.
  // Sizes every column for recordCount entries and notes the count as
  // recordsInFile. Throws TrimwrightError after
  // the out-of-memory lines when memory runs out.
  void Allocate();

  // Sizes one array of a reader's own for recordCount entries, with the same
  // out-of-memory handling as Allocate.
  template <typename T>
  void AllocateArray(RecordArray<T>& array) {
    try {
      array.resize(recordCount);
    } catch (const std::bad_alloc& e) {
      ReportOutOfMemory(e);
    }
  }

  // After a pass in parts: moves each part's accepted records down to follow
  // those of the parts before it, in every column, sets recordCount to the
  // number of accepted records and adds up the parts' rejections.
  void JoinParts(const std::vector<RecordPart>& parts);

  // The same move for one array of a reader's own.
  template <typename T>
  static void JoinParts(RecordArray<T>& array, const std::vector<RecordPart>& parts) {
    std::uint32_t joined = 0;
    for (const RecordPart& part : parts) {
      if (part.first != joined && part.accepted > 0) {
        std::memmove(&array[joined], &array[part.first], part.accepted * sizeof(T));
      }
      joined += part.accepted;
    }
  }

  // A reader's count of records in the file, which comes out negative for a
  // file shorter than its header: that means no records.
  static std::uint32_t CountFromFile(std::int64_t count);

  // The acceptance rules that every reader shares. A reader adds its own
  // ranges.
  static bool PassesSharedRanges(const RecordValues& record);

  // The first rule (in the order of Rejection) a record that failed the
  // ranges broke: the shared ones, and with textRule also the throttle range
  // and the temperature rule of a text log. The readers call it on rejected
  // records only, with the values decoded again, so that the path of an
  // accepted record stays as short as it was.
  [[gnu::cold]] static Rejection BrokenRule(const RecordValues& record, float temperature = 0.0f,
                                            const TemperatureRule* textRule = nullptr);

  // Stores the values every reader fills (all but throttle and the flags) at
  // index. REQUIRES: the record passes the shared ranges, so each value fits
  // its column.
  void StoreShared(std::uint32_t index, const RecordValues& record);

  // For the text readers: the shared rules plus the throttle range (0 to 100
  // percent) and the temperature rule. An accepted record is stored at index
  // with its throttle, engineWarm from the temperature and highThrottle from
  // the throttle. BrokenRule tells a rejected one's rule.
  bool AcceptTextRecord(std::uint32_t index, const RecordValues& record, float temperature,
                        const TemperatureRule& rule);

  // Writes the out-of-memory lines and throws.
  [[noreturn]] void ReportOutOfMemory(const std::bad_alloc& failure) const;

 private:
  Diagnostics& diagnostics_;

  // The accepted ranges every reader shares.
  static constexpr std::int32_t kMinRpm = 500;
  static constexpr std::int32_t kMaxRpm = 7000;
  static constexpr float kMinMap = 0.0f;
  static constexpr float kMaxMap = 105.0f;
  static constexpr std::int32_t kMinTrim = 0;
  static constexpr std::int32_t kMaxTrim = 255;
  static constexpr std::int32_t kMinBlmCell = 0;
  static constexpr std::int32_t kMaxBlmCell = 18;
  static constexpr float kMinThrottle = 0.0f;
  static constexpr float kMaxThrottle = 100.0f;

  // Every accepted value fits its column.
  static_assert(std::numeric_limits<decltype(rpm)::value_type>::max() >= kMaxRpm);
  static_assert(std::numeric_limits<decltype(blmLeft)::value_type>::max() >= kMaxTrim);
  static_assert(std::numeric_limits<decltype(blmRight)::value_type>::max() >= kMaxTrim);
  static_assert(std::numeric_limits<decltype(auxLeft)::value_type>::max() >= kMaxTrim);
  static_assert(std::numeric_limits<decltype(auxRight)::value_type>::max() >= kMaxTrim);
  static_assert(std::numeric_limits<decltype(blmCell)::value_type>::max() >= kMaxBlmCell);
};

// Defined here so that the readers' per-record loops inline them.

inline bool LoggedData::IsHighThrottle(float throttleOpening, int engineRpm) {
  double threshold;
  if (engineRpm <= 3200) {
    threshold = 66.0;
  } else if (engineRpm <= 4000) {
    threshold = 57.0;
  } else if (engineRpm <= 4400) {
    threshold = 48.0;
  } else {
    threshold = 28.1;
  }
  return static_cast<double>(throttleOpening) >= threshold;
}

[[gnu::always_inline]] inline bool LoggedData::PassesSharedRanges(const RecordValues& r) {
  return InRange(r.rpm, kMinRpm, kMaxRpm) && InRange(r.map, kMinMap, kMaxMap) &&
         InRange(r.blmLeft, kMinTrim, kMaxTrim) && InRange(r.blmRight, kMinTrim, kMaxTrim) &&
         InRange(r.auxLeft, kMinTrim, kMaxTrim) && InRange(r.auxRight, kMinTrim, kMaxTrim) &&
         InRange(r.blmCell, kMinBlmCell, kMaxBlmCell);
}

[[gnu::always_inline]] inline void LoggedData::StoreShared(std::uint32_t i, const RecordValues& r) {
  rpm[i] = static_cast<std::uint16_t>(r.rpm);
  map[i] = r.map;
  blmLeft[i] = static_cast<std::uint8_t>(r.blmLeft);
  blmRight[i] = static_cast<std::uint8_t>(r.blmRight);
  auxLeft[i] = static_cast<std::uint8_t>(r.auxLeft);
  auxRight[i] = static_cast<std::uint8_t>(r.auxRight);
  blmCell[i] = static_cast<std::uint8_t>(r.blmCell);
}

[[gnu::always_inline]] inline bool LoggedData::AcceptTextRecord(std::uint32_t i,
                                                                const RecordValues& r,
                                                                float temperature,
                                                                const TemperatureRule& rule) {
  if (!PassesSharedRanges(r) || !InRange(r.throttle, kMinThrottle, kMaxThrottle) ||
      !InRange(temperature, rule.lowest, rule.highest)) {
    return false;
  }
  StoreShared(i, r);
  throttle[i] = r.throttle;
  engineWarm[i] = temperature > rule.warmAbove ? 1 : 0;
  highThrottle[i] = IsHighThrottle(r.throttle, r.rpm) ? 1 : 0;
  return true;
}

}  // namespace trimwright

#endif  // TRIMWRIGHT_LOGDATA_LOGGEDDATA_H_
