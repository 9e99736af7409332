// A logged data set built directly in memory, for tests of the consumers of
// LoggedData that do not need a file.
#ifndef TRIMWRIGHT_TESTS_SUPPORT_FAKELOG_H_
#define TRIMWRIGHT_TESTS_SUPPORT_FAKELOG_H_

#include <cstdint>
#include <initializer_list>

#include "logdata/LoggedData.h"

namespace trimwright::testing {

struct FakeRecord {
  std::int32_t rpm = 1600;
  float map = 50.0f;
  std::int32_t blmLeft = 128;
  std::int32_t blmRight = 128;
  std::int32_t blmCell = 5;
  bool engineWarm = true;
  bool highThrottle = false;
  std::int32_t auxLeft = 128;
  std::int32_t auxRight = 128;
};

class FakeLog : public LoggedData {
 public:
  FakeLog() = default;
  FakeLog(std::initializer_list<FakeRecord> records) {
    for (const FakeRecord& r : records) Add(r);
  }

  // REQUIRES: the record's values are within the ranges a reader accepts.
  void Add(const FakeRecord& r) {
    const std::uint32_t k = recordCount;
    ForEachColumn([k](auto& column) { column.resize(k + 1); });
    StoreShared(k, {r.rpm, r.map, r.blmLeft, r.blmRight, r.auxLeft, r.auxRight, r.blmCell});
    engineWarm[k] = r.engineWarm ? 1 : 0;
    highThrottle[k] = r.highThrottle ? 1 : 0;
    throttle[k] = 0.0f;
    ++recordCount;
  }
};

}  // namespace trimwright::testing

#endif  // TRIMWRIGHT_TESTS_SUPPORT_FAKELOG_H_
