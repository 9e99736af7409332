// The .csv record of a data-stream frame: 28 comma-separated fields in the
// column order of the scan-tool logs that the .csv reader reads, one header
// line naming them. Numbers print without the locale. The values a pass reads
// (rpm, BLM cell, both BLMs and integrators, MAP, throttle, coolant) print so
// that reading the text back gives exactly the value the frame meant; the
// others with the scan tool's decimals.
#ifndef TRIMWRIGHT_CAPTURE_STREAMCSV_H_
#define TRIMWRIGHT_CAPTURE_STREAMCSV_H_

#include <cstdint>
#include <string>

#include "capture/StreamValues.h"

namespace trimwright {

inline constexpr int kStreamCsvColumns = 28;

// The header line, without its line feed.
const std::string& StreamCsvHeader();

// The record line of sample number `sample` (0 for the first record), without
// its line feed.
std::string StreamCsvLine(std::uint64_t sample, const StreamValues& values);

}  // namespace trimwright

#endif  // TRIMWRIGHT_CAPTURE_STREAMCSV_H_
