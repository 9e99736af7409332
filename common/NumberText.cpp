#include "common/NumberText.h"

#include <locale.h>
#include <cfloat>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <limits>

namespace trimwright {

namespace {

// White space as the "C" locale's isspace sees it.
bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

locale_t ClassicCLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

}  // namespace

int ParseInt(const std::string& text) {
  // Stop at an embedded NUL as the C string functions do.
  const char* p = text.c_str();
  while (IsCSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = (*p == '-');
    ++p;
  }
  long long value = 0;
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > limit) {
      value = limit;  // saturate; keep consuming digits
    }
  }
  return static_cast<int>(negative ? -value : value);
}

double ParseDouble(const std::string& text) {
  return strtod_l(text.c_str(), nullptr, ClassicCLocale());
}

float NarrowToFloat(double value) {
  // Anything at or above twice FLT_MAX can only round to infinity; below that
  // the conversion is well defined and rounds to nearest.
  constexpr double kBeyondFloat = 2.0 * static_cast<double>(FLT_MAX);
  if (value >= kBeyondFloat) return std::numeric_limits<float>::infinity();
  if (value <= -kBeyondFloat) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

}  // namespace trimwright
