// Fuzzes the PCMComm reader: any bytes as a .txt file. The reader may refuse
// the file with a TrimwrightError; anything else escaping, a sanitizer report
// or an accepted record that breaks the record rules is a fault.
#include <cstddef>
#include <cstdint>

#include "logdata/PCMcomm.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr int kHeaderLines = 5;
  trimwright::fuzz::FuzzLogReader<trimwright::PCMcomm>(
      data, size, "drive.txt", trimwright::fuzz::TextRecordsInFile(data, size, kHeaderLines),
      [](const trimwright::PCMcomm& log) {
        // Degrees Fahrenheit.
        trimwright::fuzz::CheckTextRecords(log, log.temperature, -50.0f, 250.0f);
      });
  return 0;
}
