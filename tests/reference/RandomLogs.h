// Random logs of the three formats for comparing the fast readers with the
// straightforward ones. Most record lines look valid, so that most records are
// accepted and the comparison of values means something; the rest is hostile:
// odd line ends, empty and overlong lines, wrong field counts, stray and
// doubled separators, NUL bytes, and numbers written every way the C library
// reads them (signs, white space, exponents, hexadecimal, inf and nan, long
// digit strings, values at the acceptance limits). Everything is drawn from
// the generator passed in, so a seed reproduces a file.
#ifndef TRIMWRIGHT_TESTS_REFERENCE_RANDOMLOGS_H_
#define TRIMWRIGHT_TESTS_REFERENCE_RANDOMLOGS_H_

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace trimwright::testing {

using Random = std::mt19937;

// A whole .csv log: one header line, then up to maxRecordLines lines.
std::string RandomFreescanLog(Random& random, std::size_t maxRecordLines);

// A whole .txt log: five header lines, then up to maxRecordLines lines.
std::string RandomPCMcommLog(Random& random, std::size_t maxRecordLines);

// A whole .uni log of up to maxRecords records after the header, often with a
// partial record at the end, sometimes shorter than one record.
std::string RandomUniLog(Random& random, std::size_t maxRecords);

// Texts for the number parsers.
// Up to maxLength characters from the characters numbers are made of, with
// white space, '%', 'F', and now and then a NUL.
std::string RandomNumberCharacters(Random& random, std::size_t maxLength);
// A decimal: optional white space and sign, up to 30 digits before and after
// an optional point, optionally an exponent.
std::string RandomDecimalText(Random& random);
// The texts known to be awkward for a number parser.
std::vector<std::string> AwkwardNumberTexts();

}  // namespace trimwright::testing

#endif  // TRIMWRIGHT_TESTS_REFERENCE_RANDOMLOGS_H_
