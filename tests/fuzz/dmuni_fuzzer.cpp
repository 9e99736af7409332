// Fuzzes the Datamaster reader: any bytes as a .uni file. The reader may
// refuse the file with a TrimwrightError; anything else escaping, a sanitizer
// report or an accepted record that breaks the record rules is a fault.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "logdata/DMUni.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first record is the header; a partial record at the end is not read.
  const auto records = std::max<std::int64_t>(
      static_cast<std::int64_t>(size / trimwright::DMUni::kRecordSize) - 1, 0);
  trimwright::fuzz::FuzzLogReader<trimwright::DMUni>(data, size, "drive.uni",
                                                     static_cast<std::uint32_t>(records),
                                                     [](const trimwright::DMUni&) {});
  return 0;
}
