// ParseInt, ParseDouble and NarrowToFloat against the C library: strtol
// clamped to int, strtod in the "C" locale and the IEEE rounding of a double
// to float. Random texts from the characters numbers are made of, random
// decimals around the limits of the direct conversion (19 digits, 22 decimals,
// 2^53), the texts known to be awkward, and views that end before the text
// does. Doubles are compared bit for bit.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "common/NumberText.h"
#include "logdata/FieldWalk.h"
#include "tests/reference/RandomLogs.h"
#include "tests/reference/ReferenceReaders.h"
#include "tests/support/GermanLocale.h"

namespace trimwright {
namespace {

using testing::Random;

std::string Escaped(std::string_view text) {
  std::string shown = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\') {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      shown += hex;
    } else {
      shown += c;
    }
  }
  return shown + "\"";
}

std::string BitsOf(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%a (0x%016llx)", value,
                static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(value)));
  return text;
}

// Parses view (which may end before the text around it) both ways. Stops the
// calling test's loop through its return value so one fault reports once.
bool ParsesLikeTheCLibrary(std::string_view view, const std::string& context = "") {
  const std::string terminated(view);
  const double fast = ParseDouble(view);
  const double expected = reference::ParseDoubleC(terminated);
  if (std::bit_cast<std::uint64_t>(fast) != std::bit_cast<std::uint64_t>(expected)) {
    ADD_FAILURE() << "ParseDouble(" << Escaped(view) << ")" << context << " gives " << BitsOf(fast)
                  << ", strtod gives " << BitsOf(expected);
    return false;
  }
  const int fastInt = ParseInt(view);
  const int expectedInt = reference::ParseIntC(terminated);
  if (fastInt != expectedInt) {
    ADD_FAILURE() << "ParseInt(" << Escaped(view) << ")" << context << " gives " << fastInt
                  << ", saturated strtol gives " << expectedInt;
    return false;
  }
  return true;
}

TEST(NumberDifferentialTest, RandomCharactersParseLikeTheCLibrary) {
  Random random(20240611);
  for (int k = 0; k < 40000; ++k) {
    if (!ParsesLikeTheCLibrary(testing::RandomNumberCharacters(random, 12))) break;
  }
}

TEST(NumberDifferentialTest, RandomDecimalsParseLikeTheCLibrary) {
  Random random(7);
  for (int k = 0; k < 40000; ++k) {
    if (!ParsesLikeTheCLibrary(testing::RandomDecimalText(random))) break;
  }
}

TEST(NumberDifferentialTest, AwkwardTextsParseLikeTheCLibrary) {
  for (const std::string& text : testing::AwkwardNumberTexts()) {
    ParsesLikeTheCLibrary(text);
    // The same text with a sign in front and after white space.
    ParsesLikeTheCLibrary("-" + text);
    ParsesLikeTheCLibrary(" \t+" + text);
  }
}

// A field is a view into a longer line: the characters after it must not
// change its value, whichever way the text is converted.
TEST(NumberDifferentialTest, ViewsStopAtTheirEnd) {
  Random random(99);
  const char* const continuations[] = {"5",     "0",  ".5", "e5",    "E-3", "x1A", "p3", "(1)",
                                       "inity", "an", "nf", "1e400", " 7",  "\t",  ""};
  for (int k = 0; k < 20000; ++k) {
    std::string text = testing::RandomDecimalText(random);
    if (k % 4 == 0) text = testing::RandomNumberCharacters(random, 8);
    const std::size_t length = text.size();
    text += continuations[std::uniform_int_distribution<std::size_t>(
        0, std::size(continuations) - 1)(random)];
    if (!ParsesLikeTheCLibrary(std::string_view(text).substr(0, length),
                               " (a view into " + Escaped(text) + ")")) {
      break;
    }
  }
  for (const std::string& awkward : testing::AwkwardNumberTexts()) {
    for (std::size_t length = 0; length <= awkward.size(); ++length) {
      ParsesLikeTheCLibrary(std::string_view(awkward).substr(0, length),
                            " (a view into " + Escaped(awkward) + ")");
    }
  }
}

// Under a locale whose decimal mark is a comma the parsers still read "0.95"
// as the "C" locale does (the window's toolkit sets the locale from the
// environment).
TEST(NumberDifferentialTest, ParsingIgnoresTheProcessLocale) {
  const testing::GermanLocale locale;
  const char* const german = locale.name();
  if (german == nullptr) GTEST_SKIP() << testing::kNoGermanLocale;
  Random random(11);
  bool same = true;
  for (int k = 0; k < 5000 && same; ++k) {
    same = ParsesLikeTheCLibrary(testing::RandomDecimalText(random), std::string(" in ") + german);
  }
  for (const std::string& text : testing::AwkwardNumberTexts()) ParsesLikeTheCLibrary(text);
  ParsesLikeTheCLibrary("0,95");
}

// Doubles written out the ways a log writer might: shortest round trip, fixed
// with up to 25 decimals, scientific and hexadecimal.
TEST(NumberDifferentialTest, WrittenDoublesParseLikeTheCLibrary) {
  Random random(31337);
  std::uniform_int_distribution<std::uint64_t> anyBits;
  std::uniform_real_distribution<double> logValue(0.0, 250.0);
  for (int k = 0; k < 20000; ++k) {
    const double value = k % 2 == 0 ? logValue(random) : std::bit_cast<double>(anyBits(random));
    char text[400];
    std::to_chars_result written{};
    switch (k % 4) {
      case 0:
        written = std::to_chars(text, text + sizeof text, value);
        break;
      case 1:
        written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed,
                                static_cast<int>(random() % 26));
        break;
      case 2:
        written = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
        break;
      default:
        written = std::to_chars(text, text + sizeof text, value, std::chars_format::hex);
        break;
    }
    ASSERT_EQ(written.ec, std::errc()) << k;
    if (!ParsesLikeTheCLibrary(std::string_view(text, written.ptr))) break;
  }
}

TEST(NumberDifferentialTest, IntegersAroundTheIntLimitsSaturateLikeStrtol) {
  for (const long long base : {0LL, 2147483647LL, -2147483648LL, 4294967296LL, -4294967296LL}) {
    for (long long delta = -3; delta <= 3; ++delta)
      ParsesLikeTheCLibrary(std::to_string(base + delta));
  }
  // Around the limits of the long that strtol returns.
  for (const char* text : {"9223372036854775806", "9223372036854775807", "9223372036854775808",
                           "-9223372036854775807", "-9223372036854775808", "-9223372036854775809",
                           "18446744073709551615", "18446744073709551616",
                           "99999999999999999999999999999", "-99999999999999999999999999999"}) {
    ParsesLikeTheCLibrary(text);
  }
}

// NarrowToFloat against the IEEE rounding, around the largest float, the
// halfway point above it and the smallest subnormals.
TEST(NumberDifferentialTest, NarrowToFloatRoundsLikeIEEE) {
  Random random(5);
  std::uniform_int_distribution<std::uint64_t> anyBits;
  const double maxFloat = FLT_MAX;
  const double halfway = 0x1.ffffffp127;
  const double smallest = std::numeric_limits<float>::denorm_min();
  std::vector<double> values{0.0,
                             -0.0,
                             maxFloat,
                             -maxFloat,
                             halfway,
                             -halfway,
                             std::nextafter(halfway, 0.0),
                             std::nextafter(-halfway, 0.0),
                             2.0 * maxFloat,
                             -2.0 * maxFloat,
                             smallest,
                             smallest / 2,
                             std::nextafter(smallest / 2, 1.0),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(),
                             -std::numeric_limits<double>::quiet_NaN(),
                             1e300,
                             -1e300};
  for (int k = 0; k < 20000; ++k) values.push_back(std::bit_cast<double>(anyBits(random)));
  for (const double value : values) {
    const float fast = NarrowToFloat(value);
    const float expected = reference::ToFloat(value);
    if (std::bit_cast<std::uint32_t>(fast) != std::bit_cast<std::uint32_t>(expected)) {
      ADD_FAILURE() << "NarrowToFloat(" << BitsOf(value) << ") gives " << fast << ", IEEE gives "
                    << expected;
      break;
    }
  }
}

// The field walk converts short plain numbers on its own. Lines of random digit runs (0 to 10
// digits, with or without a point and a fraction, some followed by other text) must convert field
// by field exactly as the C library converts each field's text.
TEST(NumberDifferentialTest, FieldWalkConvertsDigitRunsLikeTheCLibrary) {
  std::mt19937 random(20261209);
  auto digits = [&](int count) {
    std::string text;
    for (int k = 0; k < count; ++k) text += static_cast<char>('0' + random() % 10);
    return text;
  };
  for (int line = 0; line < 20000; ++line) {
    std::vector<std::string> fields;
    for (int k = 0; k < 6; ++k) {
      std::string field = digits(static_cast<int>(random() % 11));
      if (random() % 2 != 0) field += "." + digits(static_cast<int>(random() % 10));
      if (random() % 8 == 0) field += "x7";
      fields.push_back(field);
    }
    std::string text;
    for (std::size_t k = 0; k < fields.size(); ++k) text += (k == 0 ? "" : ",") + fields[k];
    const std::size_t length = text.size();
    text.append(16, '9');  // the readable bytes a walk may look at past the line
    const std::string_view lineView(text.data(), length);
    FieldWalk<FieldRule::kEverySeparator> ints(lineView, ',');
    FieldWalk<FieldRule::kEverySeparator> doubles(lineView, ',');
    for (const std::string& field : fields) {
      const int fastInt = ints.TakeInt();
      const double fast = doubles.TakeDouble(',');
      const double expected = reference::ParseDoubleC(field);
      ASSERT_EQ(fastInt, reference::ParseIntC(field))
          << Escaped(field) << " in " << Escaped(lineView);
      ASSERT_EQ(std::bit_cast<std::uint64_t>(fast), std::bit_cast<std::uint64_t>(expected))
          << Escaped(field) << " in " << Escaped(lineView) << ": " << BitsOf(fast) << ", strtod "
          << BitsOf(expected);
    }
  }
}

}  // namespace
}  // namespace trimwright
