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

  void Add(const FakeRecord& r) {
    rpm.push_back(r.rpm);
    map.push_back(r.map);
    blmLeft.push_back(r.blmLeft);
    blmRight.push_back(r.blmRight);
    auxLeft.push_back(r.auxLeft);
    auxRight.push_back(r.auxRight);
    blmCell.push_back(r.blmCell);
    engineWarm.push_back(r.engineWarm ? 1 : 0);
    highThrottle.push_back(r.highThrottle ? 1 : 0);
    throttle.push_back(0.0f);
    ++recordCount;
  }
};

}  // namespace trimwright::testing

#endif  // TRIMWRIGHT_TESTS_SUPPORT_FAKELOG_H_
