// Fuzzes the Freescan reader: any bytes as a .csv file. The reader may refuse
// the file with a TrimwrightError; anything else escaping, a sanitizer report
// or an accepted record that breaks the record rules is a fault.
#include <cstddef>
#include <cstdint>

#include "logdata/Freescan.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr int kHeaderLines = 1;
  trimwright::fuzz::FuzzLogReader<trimwright::Freescan>(
      data, size, "drive.csv", trimwright::fuzz::TextRecordsInFile(data, size, kHeaderLines),
      [](const trimwright::Freescan& log) {
        trimwright::fuzz::CheckTextRecords(log, log.temperature, 0.0f, 150.0f);
      });
  return 0;
}
