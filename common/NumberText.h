// Number parsing with the semantics of the C library's atoi and atof, but
// independent of the process locale: the window's toolkit sets the C locale
// from the environment, and a log written with "0.95" must read as 0.95 under
// any locale. The texts are views; like the C functions, parsing stops at an
// embedded NUL.
#ifndef TRIMWRIGHT_COMMON_NUMBERTEXT_H_
#define TRIMWRIGHT_COMMON_NUMBERTEXT_H_

#include <string_view>

namespace trimwright {

// Skips leading white space, reads an optional sign and the decimal digits up to
// the first other character. A text without leading digits gives 0. Values
// beyond the range of int saturate at its limits.
int ParseInt(std::string_view text);

// Skips leading white space and converts the longest prefix that forms a
// decimal or hexadecimal floating number, "inf" or "nan", as atof does in the
// "C" locale. A text without such a prefix gives 0.0. Short plain decimals
// (the numbers a log is made of) are converted directly; everything else goes
// to the C library's own conversion.
double ParseDouble(std::string_view text);

// Rounds a double to the nearest float as a store to a 32-bit float field does.
// Magnitudes beyond the float range become infinities of the same sign (a plain
// conversion would be undefined there), so a later range test rejects them.
float NarrowToFloat(double value);

}  // namespace trimwright

#endif  // TRIMWRIGHT_COMMON_NUMBERTEXT_H_
