#include "tests/reference/RandomLogs.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <system_error>
#include <vector>

namespace trimwright::testing {

namespace {

using namespace std::string_view_literals;

// Texts that have tripped up number parsers: signs without digits, partial
// exponents, hexadecimal, inf and nan spellings, digit strings past 19 digits
// or past 2^53, values at the ends of the double and float ranges and of the
// subnormals, white space, NUL bytes, and the '%' and 'F' the .txt fields
// carry.
constexpr std::string_view kAwkwardNumbers[] = {
    ""sv,
    "."sv,
    "-"sv,
    "+"sv,
    "+-5"sv,
    "-+5"sv,
    "--5"sv,
    " - 5"sv,
    "1e"sv,
    "1e+"sv,
    "1e-"sv,
    "e5"sv,
    ".e5"sv,
    "1e2"sv,
    "1E2"sv,
    "-1.5E-3"sv,
    "1.5e+2"sv,
    "1e0400"sv,
    "1e-400"sv,
    "1e400"sv,
    "-1e400"sv,
    "1e308"sv,
    "1e309"sv,
    "4.9e-324"sv,
    "2.4703282292062327e-324"sv,
    "2.4703282292062328e-324"sv,
    "2.2250738585072011e-308"sv,
    "1.7976931348623157e308"sv,
    "1.7976931348623159e308"sv,
    "3.4028234663852886e38"sv,
    "3.4028235677973366e38"sv,
    "3.4028235677973367e38"sv,
    "-3.4028236e38"sv,
    "1.40129846e-45"sv,
    "7e-46"sv,
    "0x"sv,
    "0X"sv,
    "0x1A"sv,
    "-0x1a"sv,
    "0x1p3"sv,
    "0x1P-2"sv,
    "-0X.8"sv,
    "0x.8p1"sv,
    "0xg"sv,
    "0x1.fffffep127"sv,
    "0x1.ffffffp127"sv,
    "0x1.fffffe8p127"sv,
    "inf"sv,
    "-inf"sv,
    "+INF"sv,
    "Inf"sv,
    "infinity"sv,
    "-INFINITY"sv,
    "infinit"sv,
    "in"sv,
    "nan"sv,
    "NaN"sv,
    "-nan"sv,
    "nan(123)"sv,
    "nan(0x7f)"sv,
    "nan()"sv,
    "nan(12"sv,
    "-0"sv,
    "+0"sv,
    "-0.0"sv,
    "-.0"sv,
    ".5"sv,
    "-.5"sv,
    "5."sv,
    "-5."sv,
    "00000000000000000000000000005"sv,
    "0.00000000000000000000000001"sv,
    "0.0000000000000000000001"sv,
    "1234567890123456789"sv,
    "12345678901234567890"sv,
    "9007199254740992"sv,
    "9007199254740993"sv,
    "900719925474099.3"sv,
    "18446744073709551616"sv,
    "123456789012345678901234567890"sv,
    "1234567890.1234567890123456789"sv,
    "0.1000000000000000055511151231257827"sv,
    "2147483647"sv,
    "2147483648"sv,
    "-2147483648"sv,
    "-2147483649"sv,
    "4294967296"sv,
    "-9223372036854775809"sv,
    "9223372036854775808"sv,
    " 5"sv,
    "\t5"sv,
    "\v5"sv,
    "\f5"sv,
    "\r5"sv,
    "  \t+5.5"sv,
    "5 "sv,
    "5\0x"sv,
    "\0"
    "5"sv,
    "1.5\0e3"sv,
    "1\0"
    "2"sv,
    "12abc"sv,
    "35.5%x"sv,
    "%5"sv,
    "5%"sv,
    "1F2"sv,
    "0x1F"sv,
    "inF"sv,
    "F"sv,
    "%"sv,
    "1.2.3"sv,
    "1..2"sv,
    "1e1e1"sv,
    "0e"sv,
    "1_000"sv,
    "\xd9\xa1"sv,
    "\xff"
    "5"sv,
};

bool Chance(Random& random, double probability) {
  return std::bernoulli_distribution(probability)(random);
}

int Uniform(Random& random, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(random);
}

std::size_t UpTo(Random& random, std::size_t most) {
  return std::uniform_int_distribution<std::size_t>(0, most)(random);
}

std::string Pick(Random& random, std::initializer_list<std::string_view> options) {
  return std::string(options.begin()[UpTo(random, options.size() - 1)]);
}

std::string Awkward(Random& random) {
  return std::string(kAwkwardNumbers[UpTo(random, std::size(kAwkwardNumbers) - 1)]);
}

// units / 10^decimals written out exactly, e.g. (-5, 2) gives "-0.05".
std::string Fixed(long long units, int decimals) {
  const bool negative = units < 0;
  std::string digits = std::to_string(negative ? -units : units);
  if (decimals > 0) {
    const auto places = static_cast<std::size_t>(decimals);
    if (digits.size() <= places) digits.insert(0, places + 1 - digits.size(), '0');
    digits.insert(digits.size() - places, ".");
  }
  return negative ? "-" + digits : digits;
}

// A decimal between low and high with up to mostDecimals decimals.
std::string Decimal(Random& random, int low, int high, int mostDecimals) {
  const int decimals = Uniform(random, 0, mostDecimals);
  long long scale = 1;
  for (int k = 0; k < decimals; ++k) scale *= 10;
  const long long units =
      std::uniform_int_distribution<long long>(low * scale, high * scale)(random);
  return Fixed(units, decimals);
}

std::string Integer(Random& random, int low, int high) {
  return std::to_string(Uniform(random, low, high));
}

// The value of a plain decimal text, written again with the C library's
// other notations.
std::string Renotated(const std::string& text, std::chars_format format, bool upper) {
  double value = 0;
  const char* begin = text.data();
  if (!text.empty() && text[0] == '+') ++begin;
  if (std::from_chars(begin, text.data() + text.size(), value).ec != std::errc()) return text;
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format);
  std::string written(buffer, result.ptr);
  if (format == std::chars_format::hex) {
    written.insert(written[0] == '-' ? 1 : 0, "0x");
  }
  if (upper) {
    for (char& c : written) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return written;
}

// The same number, or nearly, written in one of the ways a C parser accepts
// or stops early in.
std::string Decorated(Random& random, std::string text) {
  const std::size_t signEnd = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  switch (Uniform(random, 0, 10)) {
    case 0:
      return Pick(random, {" ", "\t", "  ", "\v", "\f", " \t", "\r"}) + text;
    case 1:
      return signEnd == 0 ? "+" + text : text;
    case 2:
      return text + Pick(random, {"x", "abc", "e", "E", "e+", ".", "-", "+", "%", "F", "\t", "\r",
                                  "\0junk"sv, "(", "p3", "x1", "f"});
    case 3:
      return text.insert(signEnd, std::string(UpTo(random, 25), '0'));
    case 4:
      return Renotated(text, std::chars_format::scientific, Chance(random, 0.3));
    case 5:
      return Renotated(text, std::chars_format::hex, Chance(random, 0.3));
    case 6:
      if (text.find('.') == std::string::npos) text += '.';
      return text + std::string(UpTo(random, 30), '0') + std::to_string(Uniform(random, 0, 9));
    case 7:
      return text.insert(UpTo(random, text.size()), 1, '\0');
    case 8:
      if (text.compare(signEnd, 2, "0.") == 0) return text.erase(signEnd, 1);
      return text.find('.') == std::string::npos ? text + "." : text;
    default:
      return Awkward(random);
  }
}

// What fills a field no reader decodes: mostly a plain word, sometimes bytes
// a reader must step over (never the separator, and never a line feed).
std::string Filler(Random& random, std::size_t position, char separator, double junkChance) {
  if (!Chance(random, junkChance)) return "x" + std::to_string(position);
  std::string junk;
  for (std::size_t n = UpTo(random, 12); n > 0; --n) {
    char c = static_cast<char>(Uniform(random, 0, 255));
    if (c == separator || c == '\n') c = '\r';
    junk += c;
  }
  return junk;
}

// The choices one file is made with.
struct FileStyle {
  double decorateChance;  // of each decoded field of a valid-looking line
  double hostileChance;   // of each line
  double junkChance;      // of each filler field
  int lineEnds;           // 0: LF, 1: CR LF, 2: either, 3: LF with CR oddities
  bool finalLineBreak;
};

FileStyle RandomStyle(Random& random) {
  FileStyle style;
  constexpr double kDecorateChances[] = {0.0, 0.02, 0.1, 0.3};
  style.decorateChance = kDecorateChances[UpTo(random, std::size(kDecorateChances) - 1)];
  style.hostileChance = Chance(random, 0.3) ? 0.02 : 0.12;
  style.junkChance = Chance(random, 0.5) ? 0.0 : 0.1;
  style.lineEnds = Uniform(random, 0, 3);
  style.finalLineBreak = Chance(random, 0.5);
  return style;
}

std::string LineEnd(Random& random, const FileStyle& style) {
  switch (style.lineEnds) {
    case 0:
      return "\n";
    case 1:
      return "\r\n";
    case 2:
      return Chance(random, 0.5) ? "\n" : "\r\n";
    default:
      return Chance(random, 0.9) ? "\n" : Pick(random, {"\r\r\n", "\r", "\n\r"});
  }
}

// Joins the lines with line ends as the style says.
std::string JoinLines(Random& random, const std::vector<std::string>& lines,
                      const FileStyle& style) {
  std::string text;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    text += lines[k];
    if (k + 1 < lines.size() || style.finalLineBreak) text += LineEnd(random, style);
  }
  return text;
}

std::string Join(const std::vector<std::string>& fields, const std::string& separator) {
  std::string line;
  for (std::size_t k = 0; k < fields.size(); ++k) {
    if (k > 0) line += separator;
    line += fields[k];
  }
  return line;
}

std::string RandomBytes(Random& random, std::size_t most) {
  std::string bytes;
  for (std::size_t n = UpTo(random, most); n > 0; --n) {
    char c = static_cast<char>(Uniform(random, 0, 255));
    if (c == '\n') c = ',';
    bytes += c;
  }
  return bytes;
}

// ------------------------------------------------------ field values

std::string Rpm(Random& random) {
  if (Chance(random, 0.95)) return Integer(random, 500, 7000);
  if (Chance(random, 0.6)) return Pick(random, {"500", "7000", "499", "7001", "0", "-1", "25"});
  return Integer(random, 0, 20000);
}

std::string BlmCell(Random& random) {
  if (Chance(random, 0.97)) return Integer(random, 0, 18);
  return Pick(random, {"18", "19", "-1", "0", "255"});
}

std::string Trim(Random& random) {
  if (Chance(random, 0.98)) return Integer(random, 80, 180);
  return Pick(random, {"0", "255", "256", "-1", "1000", "127.9"});
}

// --------------------------------------------------------- Freescan

std::vector<std::string> FreescanRecordFields(Random& random, const FileStyle& style,
                                              bool allHostile) {
  std::vector<std::string> fields(26);
  for (std::size_t k = 0; k < fields.size(); ++k) {
    fields[k] = Filler(random, k, ',', style.junkChance);
  }
  fields[0] = Decimal(random, 0, 5000, 3);  // time stamp
  fields[4] = Rpm(random);
  fields[8] = BlmCell(random);
  for (std::size_t k = 9; k <= 12; ++k) fields[k] = Trim(random);
  fields[17] = Chance(random, 0.93)
                   ? Decimal(random, 0, 1, 4)
                   : Pick(random, {"1.05", "1.0500000001", "1.06", "0", "-0", "-0.0", "0.0000",
                                   "1.05000000000000000001", "1.049999999999999999999",
                                   "0.0000000000000000000001", "-0.0000001", "1.050000001"});
  fields[18] = Chance(random, 0.93)
                   ? Decimal(random, 0, 100, 2)
                   : Pick(random, {"100", "100.0", "100.000001", "100.00001", "100.01", "0", "-0",
                                   "-0.001", "66", "65.99999", "28.1", "28.099999"});
  fields[25] =
      Chance(random, 0.93)
          ? Decimal(random, 0, 150, 1)
          : Pick(random, {"150", "150.000001", "150.00001", "76", "76.0000001", "76.000001",
                          "76.00001", "0", "-0", "-0.0000001", "1e2", "0x40"});
  for (const std::size_t k : {4, 8, 9, 10, 11, 12, 17, 18, 25}) {
    if (allHostile || Chance(random, style.decorateChance)) {
      fields[k] = Decorated(random, fields[k]);
    }
  }
  return fields;
}

std::string FreescanLine(Random& random, const FileStyle& style) {
  if (!Chance(random, style.hostileChance)) {
    return Join(FreescanRecordFields(random, style, false), ",");
  }
  std::vector<std::string> fields = FreescanRecordFields(random, style, false);
  switch (Uniform(random, 0, 11)) {
    case 0:
      return "";
    case 1:
      return Pick(random, {"\r", " ", "\t", ","});
    case 2:  // 24 or 25 fields, or 26 with the last one empty
      fields.resize(static_cast<std::size_t>(Uniform(random, 24, 25)));
      return Join(fields, ",") + (Chance(random, 0.5) ? "," : "");
    case 3:  // 27 or more fields: the first 26 count
      for (int n = Uniform(random, 1, 15); n > 0; --n) fields.push_back(Awkward(random));
      return Join(fields, ",");
    case 4:
      return "," + Join(fields, ",");
    case 5: {
      const std::size_t at = UpTo(random, fields.size() - 1);
      fields[at] += ",";
      return Join(fields, ",");
    }
    case 6:
      return Join(fields, ",") + std::string(UpTo(random, 3) + 1, ',');
    case 7:
      return RandomBytes(random, 200);
    case 8:  // longer than the small blocks the tests read with
      fields[Uniform(random, 1, 3)] = std::string(UpTo(random, 3000) + 1000, 'y');
      return Join(fields, ",");
    case 9:  // only commas: 26 empty fields, or more
      return std::string(Chance(random, 0.5) ? 25 : UpTo(random, 40) + 26, ',');
    case 10:  // a lone carriage return joins two records into one line
      return Join(fields, ",") + "\r" + Join(FreescanRecordFields(random, style, false), ",");
    default:
      return Join(FreescanRecordFields(random, style, true), ",");
  }
}

std::string FreescanHeader(Random& random) {
  switch (Uniform(random, 0, 5)) {
    case 0:
      return "";
    case 1:
      return RandomBytes(random, 100);
    case 2:
      return std::string(UpTo(random, 2000) + 300, 'h');
    default: {
      std::vector<std::string> names;
      for (int k = 0; k < 26; ++k) names.push_back("Column" + std::to_string(k));
      return Join(names, ",");
    }
  }
}

// ---------------------------------------------------------- PCMComm

std::vector<std::string> PCMcommRecordFields(Random& random, const FileStyle& style,
                                             bool allHostile) {
  std::vector<std::string> fields(25);
  for (std::size_t k = 0; k < fields.size(); ++k) {
    fields[k] = Filler(random, k, ' ', style.junkChance);
  }
  fields[2] = Rpm(random);
  fields[7] = Chance(random, 0.9) ? Decimal(random, -50, 250, 1) + "F"
              : Chance(random, 0.3)
                  ? Decimal(random, -50, 250, 1)
                  : Pick(random, {"1F2",         "0x1F",       "inF",   "-50F",        "250F",
                                  "-50.000001F", "250.00001F", "170F",  "170.000001F", "170.00001F",
                                  "F",           "FF",         "180FF", "1e2F",        "-0F",
                                  "nanF",        "INF",        "0xFF",  "0x1FF",       "0x7F.8F",
                                  "-0xAFp1F",    "infF"});
  fields[9] = Chance(random, 0.93)
                  ? Decimal(random, 0, 100, 1) + "%"
                  : Pick(random, {"35.5%x", "%5", "100%", "100.0000001%", "100.00001%", "-0%",
                                  "-0.0001%", "nan%", "inf%", "0x10%", "50", "%", "48%%", "1e1%"});
  fields[11] = Chance(random, 0.93) ? Decimal(random, 10, 105, 1)
                                    : Pick(random, {"105", "105.0000001", "105.00001", "105.1",
                                                    "-0", "1e2", "0x69", "104.99999999999999999"});
  for (std::size_t k = 15; k <= 18; ++k) fields[k] = Trim(random);
  fields[19] = BlmCell(random);
  for (const std::size_t k : {2, 7, 9, 11, 15, 16, 17, 18, 19}) {
    if (allHostile || Chance(random, style.decorateChance)) {
      fields[k] = Decorated(random, fields[k]);
      // A space would split the field; the test of that is elsewhere.
      if (!allHostile) std::replace(fields[k].begin(), fields[k].end(), ' ', '\t');
    }
  }
  return fields;
}

std::string PCMcommLine(Random& random, const FileStyle& style) {
  if (!Chance(random, style.hostileChance)) {
    return Join(PCMcommRecordFields(random, style, false), " ");
  }
  std::vector<std::string> fields = PCMcommRecordFields(random, style, false);
  switch (Uniform(random, 0, 10)) {
    case 0:
      return "";
    case 1:
      return std::string(UpTo(random, 5), ' ') + Pick(random, {"", "\r", "\t"});
    case 2:  // 24 fields
      fields.pop_back();
      return Join(fields, " ");
    case 3:  // 26 or more fields
      for (int n = Uniform(random, 1, 5); n > 0; --n) fields.push_back(Awkward(random));
      return Join(fields, " ");
    case 4:  // a leading space makes an empty first field
      return std::string(UpTo(random, 2) + 1, ' ') + Join(fields, " ");
    case 5:  // trailing spaces add no field
      return Join(fields, " ") + std::string(UpTo(random, 3) + 1, ' ');
    case 6:  // runs of spaces count once
      return Join(fields, std::string(UpTo(random, 3) + 2, ' '));
    case 7:  // tabs do not separate
      return Join(fields, "\t");
    case 8:
      return RandomBytes(random, 200);
    case 9:  // longer than the small blocks the tests read with
      fields[Uniform(random, 0, 1)] = std::string(UpTo(random, 3000) + 1000, 'y');
      return Join(fields, " ");
    default:
      return Join(PCMcommRecordFields(random, style, true), " ");
  }
}

std::string PCMcommHeaderLine(Random& random) {
  switch (Uniform(random, 0, 6)) {
    case 0:
      return "";
    case 1:
      return RandomBytes(random, 80);
    case 2:
      return std::string(UpTo(random, 1500) + 200, '-');
    default:
      return Pick(random, {"Engine data log", "Vehicle: bench", "Columns follow",
                           "----------------------------------------"});
  }
}

}  // namespace

std::string RandomFreescanLog(Random& random, std::size_t maxRecordLines) {
  const FileStyle style = RandomStyle(random);
  std::vector<std::string> lines;
  if (Chance(random, 0.95)) lines.push_back(FreescanHeader(random));
  const std::size_t count = Chance(random, 0.1) ? UpTo(random, 2) : UpTo(random, maxRecordLines);
  for (std::size_t k = 0; k < count; ++k) lines.push_back(FreescanLine(random, style));
  return JoinLines(random, lines, style);
}

std::string RandomPCMcommLog(Random& random, std::size_t maxRecordLines) {
  const FileStyle style = RandomStyle(random);
  std::vector<std::string> lines;
  const std::size_t headerLines = Chance(random, 0.9) ? 5 : UpTo(random, 5);
  for (std::size_t k = 0; k < headerLines; ++k) lines.push_back(PCMcommHeaderLine(random));
  const std::size_t count = Chance(random, 0.1) ? UpTo(random, 2) : UpTo(random, maxRecordLines);
  for (std::size_t k = 0; k < count; ++k) lines.push_back(PCMcommLine(random, style));
  return JoinLines(random, lines, style);
}

std::string RandomUniLog(Random& random, std::size_t maxRecords) {
  constexpr std::size_t kRecord = 128;
  std::size_t size = (UpTo(random, maxRecords) + 1) * kRecord;
  switch (Uniform(random, 0, 9)) {
    case 0:
      size = UpTo(random, kRecord - 1);
      break;
    case 1:
      size = kRecord + UpTo(random, kRecord - 1);
      break;
    case 2:
    case 3:
    case 4:
      size += UpTo(random, kRecord - 2) + 1;
      break;
    default:
      break;
  }
  std::string bytes(size, '\0');
  const bool zeros = Chance(random, 0.05);
  for (char& c : bytes) c = zeros ? '\0' : static_cast<char>(Uniform(random, 0, 255));
  // Byte 24 (rpm / 25) is accepted from 20 on, byte 39 (the cell) up to 18.
  for (std::size_t at = kRecord; at + kRecord <= size; at += kRecord) {
    int rpmCounts = Uniform(random, 20, 255);
    if (Chance(random, 0.3)) rpmCounts = Chance(random, 0.5) ? Uniform(random, 19, 20) : 0;
    int cell = Uniform(random, 0, 18);
    if (Chance(random, 0.3)) cell = Chance(random, 0.5) ? Uniform(random, 18, 19) : 255;
    if (!zeros) {
      bytes[at + 24] = static_cast<char>(rpmCounts);
      bytes[at + 39] = static_cast<char>(cell);
    }
  }
  return bytes;
}

std::string RandomNumberCharacters(Random& random, std::size_t maxLength) {
  static constexpr std::string_view kCharacters = "0123456789.+-eExXpPinfaINFA \t%F";
  static constexpr std::string_view kRare = "\0\v\f\r\n()"sv;
  std::string text;
  for (std::size_t n = UpTo(random, maxLength); n > 0; --n) {
    text += Chance(random, 0.03) ? kRare[UpTo(random, kRare.size() - 1)]
                                 : kCharacters[UpTo(random, kCharacters.size() - 1)];
  }
  return text;
}

std::string RandomDecimalText(Random& random) {
  auto digits = [&random]() {
    std::string text;
    const std::size_t count = Chance(random, 0.6) ? UpTo(random, 6) : UpTo(random, 30);
    const bool leadingZeros = Chance(random, 0.1);
    for (std::size_t k = 0; k < count; ++k) {
      text += leadingZeros && k < count / 2 ? '0' : static_cast<char>('0' + Uniform(random, 0, 9));
    }
    return text;
  };
  std::string text;
  if (Chance(random, 0.1)) text += Pick(random, {" ", "\t", "\n", "\v", "\f", "\r", "  "});
  if (Chance(random, 0.3)) text += Chance(random, 0.5) ? '-' : '+';
  text += digits();
  if (Chance(random, 0.6)) text += "." + digits();
  if (Chance(random, 0.15)) {
    text += Chance(random, 0.5) ? 'e' : 'E';
    if (Chance(random, 0.5)) text += Chance(random, 0.5) ? '-' : '+';
    text += std::to_string(Uniform(random, 0, Chance(random, 0.9) ? 30 : 400));
  }
  if (Chance(random, 0.1)) text += Pick(random, {"x", "%", "F", " ", "e", "."});
  return text;
}

std::vector<std::string> AwkwardNumberTexts() {
  return {std::begin(kAwkwardNumbers), std::end(kAwkwardNumbers)};
}

}  // namespace trimwright::testing
