// The .csv record of a data-stream frame: 28 fields in the column order the
// .csv reader reads, under one header line, locale-free. What a pass reads
// prints so that reading it back gives exactly what the frame meant; the rest
// with the scan tool's decimals. Functions only.
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
