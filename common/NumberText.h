// Number parsing with the semantics of the C library's atoi and atof, but
// independent of the process locale: the window's toolkit sets the C locale
// from the environment, and a log written with "0.95" must read as 0.95 under
// any locale. The texts are views; like the C functions, parsing stops at an
// embedded NUL.
#ifndef TRIMWRIGHT_COMMON_NUMBERTEXT_H_
#define TRIMWRIGHT_COMMON_NUMBERTEXT_H_

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <string_view>

namespace trimwright {

namespace number_text_detail {

// White space as the "C" locale's isspace sees it.
inline bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Skips the leading white space and an optional sign of [p, end); returns
// where the digits may start and sets negative for a minus sign.
inline const char* SkipSpaceAndSign(const char* p, const char* end, bool& negative) {
  while (p != end && IsCSpace(*p)) ++p;
  negative = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = (*p == '-');
    ++p;
  }
  return p;
}

// The C library's conversion of the text up to its end or its first NUL.
double CLibraryDouble(std::string_view text);

// Powers of ten that a double holds exactly.
inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr int kMostFractionDigits = 22;
// Integers up to 2^53 are exact in a double.
inline constexpr std::uint64_t kLargestExactInteger = std::uint64_t{1} << 53;
// Nineteen decimal digits always fit in 64 bits.
inline constexpr int kMostDigits = 19;

}  // namespace number_text_detail

// Skips leading white space, reads an optional sign and the decimal digits up to
// the first other character. A text without leading digits gives 0. Values
// beyond the range of int saturate at its limits.
inline int ParseInt(std::string_view text) {
  using namespace number_text_detail;
  const char* const end = text.data() + text.size();
  // The common case first: up to nine digits and nothing before them, which
  // no int overflows.
  {
    const char* p = text.data();
    unsigned value = 0;
    int digits = 0;
    for (; p != end && digits < 9 && IsDigit(*p); ++p, ++digits) {
      value = value * 10 + static_cast<unsigned>(*p - '0');
    }
    if (digits > 0 && (p == end || !IsDigit(*p))) return static_cast<int>(value);
  }
  bool negative = false;
  const char* p = SkipSpaceAndSign(text.data(), end, negative);
  long long value = 0;
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  for (; p != end && IsDigit(*p); ++p) {
    value = value * 10 + (*p - '0');
    if (value > limit) value = limit;  // saturate; keep consuming digits
  }
  return static_cast<int>(negative ? -value : value);
}

// value as "0x" and upper-case hexadecimal digits, at least digits of them
// (leading zeros fill up): HexText(0x12015) is "0x12015", HexText(5, 4)
// "0x0005".
inline std::string HexText(std::uint64_t value, int digits = 0) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}

// value in fixed notation rounded to `decimals` decimals, correctly rounded
// and independent of the locale: FixedText(9.95, 1) is "9.9" (9.95 is a
// little below itself as a double), FixedText(2.0, 0) "2".
inline std::string FixedText(double value, int decimals) {
  char text[400];  // enough for any finite double at the decimals a text shows
  return std::string(
      text, std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr);
}

// The longest text a number field holds: a window hands over at most this many
// characters of a field, and the command line reads its number texts the same
// way.
inline constexpr std::size_t kNumberFieldLimit = 78;

// The number a field's text reads as: its first kNumberFieldLimit characters,
// as ParseInt reads them.
inline int ReadNumberField(std::string_view text) {
  return ParseInt(text.substr(0, std::min(text.size(), kNumberFieldLimit)));
}

// Skips leading white space and converts the longest prefix that forms a
// decimal or hexadecimal floating number, "inf" or "nan", as atof does in the
// "C" locale. A text without such a prefix gives 0.0.
[[gnu::always_inline]] inline double ParseDouble(std::string_view text) {
  // A plain decimal of at most 19 digits whose digits form an integer that a
  // double holds exactly, with at most 22 of them after the point, is that
  // integer divided by an exact power of ten: one correctly rounded division,
  // which is the nearest double to the text and so what strtod returns. Any
  // other text (exponents, hexadecimal, inf, nan, long digit strings, no
  // digits at all) goes to strtod itself.
  using namespace number_text_detail;
  const char* const end = text.data() + text.size();
  bool negative = false;
  const char* p = SkipSpaceAndSign(text.data(), end, negative);
  const bool hexadecimalPrefix = end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
  std::uint64_t digits = 0;
  int digitCount = 0;
  int fractionDigits = 0;
  // Past nineteen digits the sum wraps around, but such a text goes to
  // strtod anyway, and the fraction digits, being among them, never index
  // past the table.
  static_assert(kMostDigits <= kMostFractionDigits);
  for (; p != end && IsDigit(*p); ++p, ++digitCount) {
    digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  if (p != end && *p == '.') {
    for (++p; p != end && IsDigit(*p); ++p, ++digitCount, ++fractionDigits) {
      digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
    }
  }
  const bool exponentFollows = p != end && (*p == 'e' || *p == 'E');
  if (hexadecimalPrefix || exponentFollows || digitCount == 0 || digitCount > kMostDigits ||
      digits > kLargestExactInteger) {
    return CLibraryDouble(text);
  }
  const double value = static_cast<double>(digits) / kExactPowersOfTen[fractionDigits];
  return negative ? -value : value;
}

// Rounds a double to the nearest float as a store to a 32-bit float field does.
// Magnitudes beyond the float range become infinities of the same sign (a plain
// conversion would be undefined there), so a later range test rejects them.
inline float NarrowToFloat(double value) {
  // Anything at or above twice FLT_MAX can only round to infinity; below that
  // the conversion is well defined and rounds to nearest.
  constexpr double kBeyondFloat = 2.0 * static_cast<double>(FLT_MAX);
  if (value >= kBeyondFloat) return std::numeric_limits<float>::infinity();
  if (value <= -kBeyondFloat) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

}  // namespace trimwright

#endif  // TRIMWRIGHT_COMMON_NUMBERTEXT_H_
