// Straightforward readers of the three log formats, kept beside the tests as
// the behaviour the fast readers in logdata/ must reproduce exactly: the same
// accepted records in the same order, the same values bit for bit and the same
// diagnostic lines. They read a text log line by line into std::string with
// std::getline, split each line into a vector of strings, and convert numbers
// with the C library in the "C" locale; a .uni log is read through a
// std::ifstream one record at a time, each reached by its own seek. Nothing here shares code with
// the fast path beyond LoggedData itself. reference_read times them for the benchmark.
#ifndef TRIMWRIGHT_TESTS_REFERENCE_REFERENCEREADERS_H_
#define TRIMWRIGHT_TESTS_REFERENCE_REFERENCEREADERS_H_

#include <string>
#include <vector>

#include "logdata/LoggedData.h"

namespace trimwright::reference {

// atoi in the "C" locale, with values beyond int saturating at its limits:
// strtol up to the first NUL, clamped.
int ParseIntC(const std::string& text);

// atof in the "C" locale: strtod_l up to the first NUL.
double ParseDoubleC(const std::string& text);

// The double rounded to the nearest float; magnitudes that round beyond the
// float range give infinities of the same sign.
float ToFloat(double value);

// Splits at every comma: n commas give n + 1 fields, empty ones too.
std::vector<std::string> SplitAtCommas(const std::string& line);

// Splits at runs of separator; separators at the end add no field, separators
// at the start give one empty first field.
std::vector<std::string> SplitAtRuns(const std::string& line, char separator);

class ReferenceDMUni : public LoggedData {
 public:
  explicit ReferenceDMUni(const std::string& path);
  ~ReferenceDMUni() override;
};

class ReferenceFreescan : public LoggedData {
 public:
  explicit ReferenceFreescan(const std::string& path);
  ~ReferenceFreescan() override;

  RecordArray<float> temperature;
};

class ReferencePCMcomm : public LoggedData {
 public:
  explicit ReferencePCMcomm(const std::string& path);
  ~ReferencePCMcomm() override;

  RecordArray<float> temperature;  // degrees Fahrenheit
};

}  // namespace trimwright::reference

#endif  // TRIMWRIGHT_TESTS_REFERENCE_REFERENCEREADERS_H_
