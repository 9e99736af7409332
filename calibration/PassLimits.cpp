#include "calibration/PassLimits.h"

#include <cmath>

#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

// True when text is one or more decimal digits and nothing else.
bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A whole number of at most maxDigits digits, or nothing when text is not one.
std::optional<std::int64_t> WholeNumber(const std::string& text, std::size_t maxDigits) {
  if (!AllDigits(text) || text.size() > maxDigits) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) value = value * 10 + (c - '0');
  return value;
}

[[noreturn]] void Refuse(const std::string& needs, const std::string& text) {
  throw InvalidRequestError(needs + ", got '" + text + "'");
}

}  // namespace

std::int32_t ParseMinRecords(const std::string& text) {
  const std::optional<std::int64_t> value = WholeNumber(text, 9);
  if (!value || *value < 1) Refuse("needs a whole number of records of at least 1", text);
  return static_cast<std::int32_t>(*value);
}

double ParseMaxChangePercent(const std::string& text) {
  constexpr std::size_t kMaxDigits = 6;
  const std::size_t point = text.find('.');
  const std::string whole = text.substr(0, point);
  const std::string fraction = point == std::string::npos ? "0" : text.substr(point + 1);
  const std::optional<std::int64_t> wholeValue =
      WholeNumber(whole.empty() ? "0" : whole, kMaxDigits);
  const std::optional<std::int64_t> fractionValue = WholeNumber(fraction, kMaxDigits);
  const bool wellFormed =
      (!whole.empty() || point != std::string::npos) && wholeValue && fractionValue;
  const double value = wellFormed ? static_cast<double>(*wholeValue) +
                                        static_cast<double>(*fractionValue) /
                                            std::pow(10.0, static_cast<double>(fraction.size()))
                                  : 0.0;
  if (!wellFormed || value <= 0.0) {
    Refuse("needs a percentage above 0 such as 5 or 2.5 (no sign or % sign)", text);
  }
  return value;
}

AuxWindow ParseAuxWindow(const std::string& text) {
  const std::size_t dash = text.find('-');
  const std::optional<std::int64_t> low =
      dash == std::string::npos ? std::nullopt : WholeNumber(text.substr(0, dash), 3);
  const std::optional<std::int64_t> high =
      dash == std::string::npos ? std::nullopt : WholeNumber(text.substr(dash + 1), 3);
  if (!low || !high || *low > 255 || *high > 255 || *low > *high) {
    Refuse("needs LO-HI, two whole numbers 0 to 255 with LO not above HI (such as 118-138)", text);
  }
  return AuxWindow{static_cast<std::int32_t>(*low), static_cast<std::int32_t>(*high)};
}

}  // namespace trimwright
