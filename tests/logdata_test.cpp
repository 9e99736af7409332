// The three log readers: counting, acceptance, field positions, splitting,
// flags and their exact diagnostic lines.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "common/NumberText.h"
#include "common/TrimwrightError.h"
#include "logdata/DMUni.h"
#include "logdata/FieldWalk.h"
#include "logdata/Freescan.h"
#include "logdata/PCMcomm.h"
#include "tests/support/GermanLocale.h"
#include "tests/support/LogFixture.h"

namespace trimwright {
namespace {

using testing::LogFixture;
using tools::FreescanRecord;
using tools::PCMcommRecord;
using tools::TextLayout;
using tools::UniRecord;

// ---------------------------------------------------------------- numbers

TEST(NumberTextTest, ParseIntFollowsAtoi) {
  EXPECT_EQ(ParseInt("124"), 124);
  EXPECT_EQ(ParseInt("124abc"), 124);
  EXPECT_EQ(ParseInt("abc"), 0);
  EXPECT_EQ(ParseInt(""), 0);
  EXPECT_EQ(ParseInt(" \t-5"), -5);
  EXPECT_EQ(ParseInt("+7x"), 7);
  EXPECT_EQ(ParseInt("- 5"), 0);
  EXPECT_EQ(ParseInt("12 34"), 12);
  EXPECT_EQ(ParseInt(std::string("9\0"
                                 "9",
                                 3)),
            9);
}

TEST(NumberTextTest, ParseIntSaturatesInsteadOfWrapping) {
  EXPECT_EQ(ParseInt("2147483647"), std::numeric_limits<int>::max());
  EXPECT_EQ(ParseInt("2147483648"), std::numeric_limits<int>::max());
  EXPECT_EQ(ParseInt("99999999999999999999999"), std::numeric_limits<int>::max());
  EXPECT_EQ(ParseInt("-2147483648"), std::numeric_limits<int>::min());
  EXPECT_EQ(ParseInt("-99999999999999999999999"), std::numeric_limits<int>::min());
}

TEST(NumberTextTest, ParseDoubleFollowsAtof) {
  EXPECT_EQ(ParseDouble("0.95"), 0.95);
  EXPECT_EQ(ParseDouble("  35.5%"), 35.5);
  EXPECT_EQ(ParseDouble("1e2x"), 100.0);
  EXPECT_EQ(ParseDouble("abc"), 0.0);
  EXPECT_EQ(ParseDouble(""), 0.0);
  EXPECT_TRUE(std::isnan(ParseDouble("nan")));
  EXPECT_TRUE(std::isinf(ParseDouble("inf")));
}

TEST(NumberTextTest, ParseDoubleIgnoresTheProcessLocale) {
  const testing::GermanLocale german;
  if (german.name() == nullptr) GTEST_SKIP() << testing::kNoGermanLocale;
  const double parsed = ParseDouble("0.95");
  const double comma = ParseDouble("0,95");
  EXPECT_EQ(parsed, 0.95);
  EXPECT_EQ(comma, 0.0);
}

TEST(NumberTextTest, NarrowToFloatRoundsAndOverflowsToInfinity) {
  EXPECT_EQ(NarrowToFloat(105.000001), 105.0f);
  EXPECT_EQ(NarrowToFloat(0.95 * 100), 95.0f);
  EXPECT_EQ(NarrowToFloat(1e300), std::numeric_limits<float>::infinity());
  EXPECT_EQ(NarrowToFloat(-1e300), -std::numeric_limits<float>::infinity());
  EXPECT_TRUE(std::isnan(NarrowToFloat(std::nan(""))));
}

// ------------------------------------------------------- high throttle

struct ThrottleCase {
  float throttle;
  int rpm;
  bool high;
};

class IsHighThrottleTest : public ::testing::TestWithParam<ThrottleCase> {};

TEST_P(IsHighThrottleTest, ComparesWithTheThresholdOfTheRpmBand) {
  EXPECT_EQ(LoggedData::IsHighThrottle(GetParam().throttle, GetParam().rpm), GetParam().high);
}

INSTANTIATE_TEST_SUITE_P(
    Bands, IsHighThrottleTest,
    ::testing::Values(ThrottleCase{66.0f, 3200, true}, ThrottleCase{65.9f, 3200, false},
                      ThrottleCase{57.0f, 3201, true}, ThrottleCase{56.9f, 4000, false},
                      ThrottleCase{48.0f, 4400, true}, ThrottleCase{47.9f, 4400, false},
                      ThrottleCase{28.1f, 4401, true}, ThrottleCase{28.0f, 9000, false},
                      ThrottleCase{0.0f, 500, false}, ThrottleCase{0.0f, 7000, false},
                      ThrottleCase{100.0f, -5, true}));

// ----------------------------------------------------------- Datamaster

class DMUniTest : public LogFixture {};

TEST_F(DMUniTest, WritesItsDiagnosticLinesInOrder) {
  UniRecord rejected;
  rejected.rpmCounts = 19;
  const std::string path = Write("drive.uni", tools::UniLog({UniRecord{}, rejected, UniRecord{}}));
  {
    DMUni log(path);
    EXPECT_EQ(log.recordCount, 2u);
  }
  EXPECT_EQ(output_.Stdout(),
            "LoggedData:  default constructor\n"
            "DMUni:  in constructor with arg " +
                path +
                "\n"
                "DMUni:  the number of records is 3\n"
                "LoggedData:  allocating memory...okay\n"
                "DMUni:  reading in data...okay\n"
                "DMUni:  destructing\n"
                "LoggedData:  destructing......done\n");
  EXPECT_EQ(output_.Stderr(), "");
}

TEST_F(DMUniTest, CountsWholeRecordsAfterTheHeader) {
  struct Case {
    std::size_t bytes;
    std::uint32_t count;
  };
  for (const Case c : {Case{0, 0}, Case{127, 0}, Case{128, 0}, Case{255, 0}, Case{256, 1},
                       Case{128 * 5 + 60, 4}}) {
    std::string bytes = tools::UniLog(std::vector<UniRecord>(5));
    bytes.resize(c.bytes);
    const std::string path = Write("count.uni", bytes);
    output_.Clear();
    DMUni log(path);
    EXPECT_NE(output_.Stdout().find("the number of records is " + std::to_string(c.count) + "\n"),
              std::string::npos)
        << c.bytes << " bytes";
    EXPECT_EQ(log.recordCount, c.count) << c.bytes << " bytes";
  }
}

TEST_F(DMUniTest, DecodesFieldsAtTheirOffsets) {
  UniRecord r;
  r.engineWarmFlags = 0xFE;
  r.highThrottleFlags = 0x01;
  r.rpmCounts = 20;
  r.mapCounts = 0;
  r.blmCell = 18;
  r.blmLeft = 130;
  r.blmRight = 126;
  r.auxLeft = 1;
  r.auxRight = 255;
  UniRecord top;
  top.rpmCounts = 255;
  top.mapCounts = 255;
  top.engineWarmFlags = 0x03;
  top.highThrottleFlags = 0x02;
  const std::string path = Write("fields.uni", tools::UniLog({r, top}));
  DMUni log(path);
  ASSERT_EQ(log.recordCount, 2u);
  EXPECT_EQ(log.rpm[0], 500);
  EXPECT_EQ(log.map[0], static_cast<float>(10.4));
  EXPECT_EQ(log.blmCell[0], 18);
  EXPECT_EQ(log.blmLeft[0], 130);
  EXPECT_EQ(log.blmRight[0], 126);
  EXPECT_EQ(log.auxLeft[0], 1);
  EXPECT_EQ(log.auxRight[0], 255);
  EXPECT_EQ(log.engineWarm[0], 0);
  EXPECT_EQ(log.highThrottle[0], 1);
  EXPECT_EQ(log.rpm[1], 6375);
  EXPECT_EQ(log.map[1], static_cast<float>(255 * 0.3688 + 10.4));
  EXPECT_EQ(log.engineWarm[1], 1);
  EXPECT_EQ(log.highThrottle[1], 0);
}

TEST_F(DMUniTest, RejectsLowRpmAndCellsAbove18KeepingFileOrder) {
  std::vector<UniRecord> records(5);
  for (std::size_t k = 0; k < records.size(); ++k)
    records[k].blmLeft = static_cast<std::uint8_t>(100 + k);
  records[1].rpmCounts = 19;  // 475 rpm
  records[3].blmCell = 19;
  const std::string path = Write("reject.uni", tools::UniLog(records));
  DMUni log(path);
  ASSERT_EQ(log.recordCount, 3u);
  EXPECT_EQ(log.blmLeft[0], 100);
  EXPECT_EQ(log.blmLeft[1], 102);
  EXPECT_EQ(log.blmLeft[2], 104);
}

TEST_F(DMUniTest, UnopenableFileIsReportedAndThrown) {
  for (const std::string& path : {dir_.File("missing.uni"), dir_.path()}) {
    output_.Clear();
    try {
      DMUni log(path);
      FAIL() << "no error for " << path;
    } catch (const TrimwrightError& e) {
      EXPECT_EQ(std::string(e.what()), "Unable to open datamaster file " + path);
      EXPECT_EQ(e.status(), ExitStatus::kFileOrMemory);
    }
    EXPECT_EQ(output_.Stdout(),
              "LoggedData:  default constructor\n"
              "DMUni:  in constructor with arg " +
                  path +
                  "\n"
                  "Unable to open datamaster file " +
                  path +
                  "\n"
                  "LoggedData:  destructing......done\n");
  }
}

// ------------------------------------------------------------- Freescan

class FreescanTest : public LogFixture {
 protected:
  std::unique_ptr<Freescan> ReadCsv(const std::vector<FreescanRecord>& records,
                                    const TextLayout& layout = {}) {
    return Read<Freescan>(Write("drive.csv", tools::FreescanLog(records, layout)));
  }
  // The one record read from a log with a single record line.
  std::unique_ptr<Freescan> ReadOne(const FreescanRecord& record) { return ReadCsv({record}); }
};

TEST_F(FreescanTest, WritesItsDiagnosticLinesInOrder) {
  const std::string path = Write("drive.csv", tools::FreescanLog(std::vector<FreescanRecord>(3)));
  { Freescan log(path); }
  EXPECT_EQ(output_.Stdout(),
            "LoggedData:  default constructor\n"
            "No. records:  3\n"
            "LoggedData:  allocating memory...okay\n"
            "allocating memory...okay\n"
            "reading in data...done\n"
            "Freescan:  destructor\n"
            "LoggedData:  destructing......done\n");
}

TEST_F(FreescanTest, LastLineWithoutLineBreakIsNeverRead) {
  std::vector<FreescanRecord> records(3);
  records[2].blmLeft = "140";
  EXPECT_EQ(ReadCsv(records)->recordCount, 3u);
  output_.Clear();
  const auto log = ReadCsv(records, TextLayout{"\n", false});
  EXPECT_NE(output_.Stdout().find("No. records:  2\n"), std::string::npos);
  ASSERT_EQ(log->recordCount, 2u);
  EXPECT_EQ(log->blmLeft[1], 128);
}

TEST_F(FreescanTest, CountsOfShortFilesComeOutAsZero) {
  for (const std::string& bytes : {std::string(), std::string("only a header"),
                                   std::string("only a header\n"), std::string("\n")}) {
    output_.Clear();
    const auto log = Read<Freescan>(Write("short.csv", bytes));
    EXPECT_EQ(log->recordCount, 0u);
    EXPECT_NE(output_.Stdout().find("No. records:  0\n"), std::string::npos) << bytes;
  }
}

TEST_F(FreescanTest, DecodesFieldsByPosition) {
  FreescanRecord r;
  r.rpm = "2400";
  r.blmCell = "7";
  r.blmLeft = "131";
  r.blmRight = "125";
  r.auxLeft = "12";
  r.auxRight = "250";
  r.mapBar = "0.95";
  r.throttle = "22.5";
  r.temperature = "76.5";
  const auto log = ReadOne(r);
  ASSERT_EQ(log->recordCount, 1u);
  EXPECT_EQ(log->rpm[0], 2400);
  EXPECT_EQ(log->blmCell[0], 7);
  EXPECT_EQ(log->blmLeft[0], 131);
  EXPECT_EQ(log->blmRight[0], 125);
  EXPECT_EQ(log->auxLeft[0], 12);
  EXPECT_EQ(log->auxRight[0], 250);
  EXPECT_EQ(log->map[0], 95.0f);
  EXPECT_EQ(log->throttle[0], 22.5f);
  EXPECT_EQ(log->temperature[0], 76.5f);
  EXPECT_EQ(log->engineWarm[0], 1);
  EXPECT_EQ(log->highThrottle[0], 0);
}

// One field changed from a valid record, and whether the record survives.
struct FieldCase {
  std::string FreescanRecord::*field;
  std::string text;
  bool accepted;
};

class FreescanAcceptanceTest : public FreescanTest,
                               public ::testing::WithParamInterface<FieldCase> {};

TEST_P(FreescanAcceptanceTest, AppliesTheRangeOfTheField) {
  FreescanRecord r;
  r.*GetParam().field = GetParam().text;
  EXPECT_EQ(ReadOne(r)->recordCount, GetParam().accepted ? 1u : 0u) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Ranges, FreescanAcceptanceTest,
                         ::testing::Values(FieldCase{&FreescanRecord::rpm, "500", true},
                                           FieldCase{&FreescanRecord::rpm, "7000", true},
                                           FieldCase{&FreescanRecord::rpm, "499", false},
                                           FieldCase{&FreescanRecord::rpm, "7001", false},
                                           FieldCase{&FreescanRecord::rpm, "", false},
                                           // Values that would wrap into range in
                                           // the narrow columns
                                           FieldCase{&FreescanRecord::rpm, "66536", false},
                                           FieldCase{&FreescanRecord::blmLeft, "384", false},
                                           FieldCase{&FreescanRecord::blmCell, "261", false},
                                           FieldCase{&FreescanRecord::mapBar, "0", true},
                                           FieldCase{&FreescanRecord::mapBar, "1.05", true},
                                           FieldCase{&FreescanRecord::mapBar, "1.0500000001", true},
                                           FieldCase{&FreescanRecord::mapBar, "1.06", false},
                                           FieldCase{&FreescanRecord::mapBar, "-0.01", false},
                                           FieldCase{&FreescanRecord::mapBar, "nan", false},
                                           FieldCase{&FreescanRecord::mapBar, "1e300", false},
                                           FieldCase{&FreescanRecord::blmLeft, "255", true},
                                           FieldCase{&FreescanRecord::blmLeft, "256", false},
                                           FieldCase{&FreescanRecord::blmRight, "-1", false},
                                           FieldCase{&FreescanRecord::auxLeft, "256", false},
                                           FieldCase{&FreescanRecord::auxRight, "0", true},
                                           FieldCase{&FreescanRecord::auxRight, "256", false},
                                           FieldCase{&FreescanRecord::blmCell, "18", true},
                                           FieldCase{&FreescanRecord::blmCell, "19", false},
                                           FieldCase{&FreescanRecord::blmCell, "-1", false},
                                           FieldCase{&FreescanRecord::throttle, "100", true},
                                           FieldCase{&FreescanRecord::throttle, "100.01", false},
                                           FieldCase{&FreescanRecord::throttle, "nan", false},
                                           FieldCase{&FreescanRecord::temperature, "150", true},
                                           FieldCase{&FreescanRecord::temperature, "151", false},
                                           FieldCase{&FreescanRecord::temperature, "-1", false},
                                           FieldCase{&FreescanRecord::temperature, "NAN", false},
                                           FieldCase{&FreescanRecord::temperature, "junk", true}));

TEST_F(FreescanTest, SetsFlagsFromTemperatureAndThrottle) {
  struct Case {
    std::string rpm, throttle, temperature;
    int warm, high;
  };
  for (const Case& c : {Case{"3000", "10", "76", 0, 0}, Case{"3000", "10", "76.5", 1, 0},
                        Case{"3000", "66", "90", 1, 1}, Case{"3000", "65", "90", 1, 0},
                        Case{"5000", "30", "90", 1, 1}}) {
    FreescanRecord r;
    r.rpm = c.rpm;
    r.throttle = c.throttle;
    r.temperature = c.temperature;
    const auto log = ReadOne(r);
    ASSERT_EQ(log->recordCount, 1u);
    EXPECT_EQ(log->engineWarm[0], c.warm) << c.temperature;
    EXPECT_EQ(log->highThrottle[0], c.high) << c.rpm << " rpm, " << c.throttle << "%";
  }
}

// The readers convert a field while finding it; every shape of number text
// must still read exactly as the number rules read the field's text: short
// and long digit strings, text after the digits, signs, spaces, exponents,
// points without digits on one side.
TEST_F(FreescanTest, ConvertsEachFieldAsTheNumberRulesReadItsText) {
  struct Case {
    std::string rpm, blmCell, mapBar, temperature;
  };
  for (const Case& c : {Case{"708", "5", "0.328", "25.0"}, Case{"0708x", "05", ".95", "140."},
                        Case{"00000000708", "+5", "9.5e-1", "1.4e2"},
                        Case{" 708", "5 ", "0.95000000000000000001", "140abc"},
                        Case{"00006543", "5", "0.999999999", "99.99999999"},
                        Case{"000000001234", "5", "0x1p-1", "0.9007199254740993"}}) {
    FreescanRecord r;
    r.rpm = c.rpm;
    r.blmCell = c.blmCell;
    r.mapBar = c.mapBar;
    r.temperature = c.temperature;
    const auto log = ReadOne(r);
    const float temperature = NarrowToFloat(ParseDouble(c.temperature));
    const bool accepted = InRange(ParseInt(c.rpm), 500, 7000) && temperature <= 150.0f;
    ASSERT_EQ(log->recordCount, accepted ? 1u : 0u) << c.rpm << " " << c.temperature;
    if (!accepted) continue;
    EXPECT_EQ(log->rpm[0], ParseInt(c.rpm)) << c.rpm;
    EXPECT_EQ(log->blmCell[0], ParseInt(c.blmCell)) << c.blmCell;
    EXPECT_EQ(log->map[0], NarrowToFloat(ParseDouble(c.mapBar) * 100)) << c.mapBar;
    EXPECT_EQ(log->temperature[0], temperature) << c.temperature;
  }
}

TEST_F(FreescanTest, SkipsLinesWithTooFewFieldsAndBlankLines) {
  const std::string valid = tools::JoinFields(tools::FreescanFields(FreescanRecord{}), ",");
  std::vector<std::string> short25 = tools::FreescanFields(FreescanRecord{});
  short25.pop_back();
  const std::string text = "header\n" + valid + "\n\n" + tools::JoinFields(short25, ",") + "\n" +
                           valid + ",extra,fields\n";
  const auto log = Read<Freescan>(Write("mixed.csv", text));
  EXPECT_NE(output_.Stdout().find("No. records:  4\n"), std::string::npos);
  EXPECT_EQ(log->recordCount, 2u);
}

TEST_F(FreescanTest, CarriageReturnLineFeedReadsLikeLineFeed) {
  std::vector<FreescanRecord> records(2);
  records[1].temperature = "140";  // the last field, right before the line end
  const auto log = ReadCsv(records, TextLayout{"\r\n", true});
  ASSERT_EQ(log->recordCount, 2u);
  EXPECT_EQ(log->temperature[1], 140.0f);
}

TEST_F(FreescanTest, GermanLocaleStillReadsDecimalPoints) {
  FreescanRecord r;
  r.mapBar = "0.95";
  const std::string path = Write("locale.csv", tools::FreescanLog({r}));
  const testing::GermanLocale german;
  if (german.name() == nullptr) GTEST_SKIP() << testing::kNoGermanLocale;
  Freescan log(path);
  ASSERT_EQ(log.recordCount, 1u);
  EXPECT_EQ(log.map[0], 95.0f);
}

// The fields a reader's walk finds in line, each read as ParseInt reads it:
// as many values as the line has fields under Rule.
template <FieldRule Rule>
std::vector<int> Walked(const std::string& line, char separator) {
  // The walk reads up to sixteen bytes past the line; they never count.
  const std::string padded = line + std::string(16, '\0');
  const auto walk = [&] {
    return FieldWalk<Rule>(std::string_view(padded.data(), line.size()), separator);
  };
  unsigned fields = 1;
  while (walk().Skip(fields)) ++fields;
  FieldWalk<Rule> taken = walk();
  std::vector<int> values;
  for (unsigned k = 0; k < fields; ++k) values.push_back(taken.TakeInt());
  return values;
}

TEST(FieldWalkTest, FreescanFieldsEndAtEveryComma) {
  using V = std::vector<int>;
  EXPECT_EQ(Walked<FieldRule::kEverySeparator>("1,,2,", ','), (V{1, 0, 2, 0}));
  EXPECT_EQ(Walked<FieldRule::kEverySeparator>("", ','), (V{0}));
  EXPECT_EQ(Walked<FieldRule::kEverySeparator>(",5", ','), (V{0, 5}));
  EXPECT_EQ(Walked<FieldRule::kEverySeparator>(" 1 ,\t2", ','), (V{1, 2}));
}

TEST_F(FreescanTest, UnopenableFileIsReportedOnStandardError) {
  for (const std::string& path : {dir_.File("missing.csv"), dir_.path()}) {
    output_.Clear();
    EXPECT_THROW(Freescan log(path), TrimwrightError);
    EXPECT_EQ(output_.Stderr(), "Unable to open input file " + path + "\n");
    EXPECT_EQ(output_.Stdout(),
              "LoggedData:  default constructor\n"
              "LoggedData:  destructing......done\n");
  }
}

// -------------------------------------------------------------- PCMComm

class PCMcommTest : public LogFixture {
 protected:
  std::unique_ptr<PCMcomm> ReadTxt(const std::vector<PCMcommRecord>& records,
                                   const TextLayout& layout = {}) {
    return Read<PCMcomm>(Write("drive.txt", tools::PCMcommLog(records, layout)));
  }
  std::unique_ptr<PCMcomm> ReadOne(const PCMcommRecord& record) { return ReadTxt({record}); }
};

TEST_F(PCMcommTest, WritesItsDiagnosticLinesInOrder) {
  const std::string path = Write("drive.txt", tools::PCMcommLog(std::vector<PCMcommRecord>(3)));
  { PCMcomm log(path); }
  EXPECT_EQ(output_.Stdout(),
            "LoggedData:  default constructor\n"
            "PCMcomm:  No. records:  3\n"
            "LoggedData:  allocating memory...okay\n"
            "PCMcomm:  allocating memory...okay\n"
            "PCMcomm:  reading in data...done\n"
            "PCMcomm:  destructing......done\n"
            "LoggedData:  destructing......done\n");
}

TEST_F(PCMcommTest, CountsLinesAfterTheFiveHeaderLines) {
  EXPECT_EQ(ReadTxt(std::vector<PCMcommRecord>(3))->recordCount, 3u);
  output_.Clear();
  EXPECT_EQ(ReadTxt(std::vector<PCMcommRecord>(3), TextLayout{"\n", false})->recordCount, 2u);
  EXPECT_NE(output_.Stdout().find("PCMcomm:  No. records:  2\n"), std::string::npos);
  for (const std::string& bytes : {std::string("1\n2\n3\n4\n"), std::string("1\n2\n3\n4\n5"),
                                   std::string("1\n2\n3\n4\n5\n"), std::string()}) {
    output_.Clear();
    EXPECT_EQ(Read<PCMcomm>(Write("short.txt", bytes))->recordCount, 0u);
    EXPECT_NE(output_.Stdout().find("PCMcomm:  No. records:  0\n"), std::string::npos);
  }
}

TEST_F(PCMcommTest, DecodesFieldsByPosition) {
  PCMcommRecord r;
  r.rpm = "1800";
  r.temperatureF = "180F";
  r.throttlePercent = "35.5%";
  r.map = "61.5";
  r.blmLeft = "131";
  r.blmRight = "125";
  r.auxLeft = "3";
  r.auxRight = "4";
  r.blmCell = "16";
  const auto log = ReadOne(r);
  ASSERT_EQ(log->recordCount, 1u);
  EXPECT_EQ(log->rpm[0], 1800);
  EXPECT_EQ(log->temperature[0], 180.0f);
  EXPECT_EQ(log->throttle[0], 35.5f);
  EXPECT_EQ(log->map[0], 61.5f);
  EXPECT_EQ(log->blmLeft[0], 131);
  EXPECT_EQ(log->blmRight[0], 125);
  EXPECT_EQ(log->auxLeft[0], 3);
  EXPECT_EQ(log->auxRight[0], 4);
  EXPECT_EQ(log->blmCell[0], 16);
  EXPECT_EQ(log->engineWarm[0], 1);
  EXPECT_EQ(log->highThrottle[0], 0);
}

class PCMcommAcceptanceTest : public PCMcommTest,
                              public ::testing::WithParamInterface<
                                  std::tuple<std::string PCMcommRecord::*, std::string, bool>> {};

TEST_P(PCMcommAcceptanceTest, AppliesTheRangeOfTheField) {
  PCMcommRecord r;
  r.*std::get<0>(GetParam()) = std::get<1>(GetParam());
  EXPECT_EQ(ReadOne(r)->recordCount, std::get<2>(GetParam()) ? 1u : 0u) << std::get<1>(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, PCMcommAcceptanceTest,
    ::testing::Values(std::make_tuple(&PCMcommRecord::rpm, "450", false),
                      std::make_tuple(&PCMcommRecord::rpm, "7000", true),
                      std::make_tuple(&PCMcommRecord::map, "105", true),
                      std::make_tuple(&PCMcommRecord::map, "105.1", false),
                      std::make_tuple(&PCMcommRecord::map, "nan", false),
                      std::make_tuple(&PCMcommRecord::throttlePercent, "100%", true),
                      std::make_tuple(&PCMcommRecord::throttlePercent, "-0.5%", false),
                      std::make_tuple(&PCMcommRecord::temperatureF, "-50F", true),
                      std::make_tuple(&PCMcommRecord::temperatureF, "250F", true),
                      std::make_tuple(&PCMcommRecord::temperatureF, "251F", false),
                      std::make_tuple(&PCMcommRecord::temperatureF, "-51F", false),
                      std::make_tuple(&PCMcommRecord::blmLeft, "256", false),
                      std::make_tuple(&PCMcommRecord::auxRight, "255", true),
                      std::make_tuple(&PCMcommRecord::auxRight, "999", false),
                      std::make_tuple(&PCMcommRecord::blmCell, "18", true),
                      std::make_tuple(&PCMcommRecord::blmCell, "19", false),
                      // Values that would wrap into range in the narrow columns
                      std::make_tuple(&PCMcommRecord::rpm, "67536", false),
                      std::make_tuple(&PCMcommRecord::blmRight, "-128", false),
                      std::make_tuple(&PCMcommRecord::blmCell, "272", false)));

TEST_F(PCMcommTest, SetsEngineWarmAbove170F) {
  for (const auto& [text, warm] :
       {std::pair{"170F", 0}, std::pair{"171F", 1}, std::pair{"180", 1}}) {
    PCMcommRecord r;
    r.temperatureF = text;
    const auto log = ReadOne(r);
    ASSERT_EQ(log->recordCount, 1u);
    EXPECT_EQ(log->engineWarm[0], warm) << text;
  }
}

TEST_F(PCMcommTest, NeedsExactly25Fields) {
  const std::vector<std::string> fields = tools::PCMcommFields(PCMcommRecord{});
  std::vector<std::string> fewer(fields.begin(), fields.end() - 1);
  std::vector<std::string> more = fields;
  more.push_back("extra");
  const std::string header = "h1\nh2\nh3\nh4\nh5\n";
  const std::string text = header + tools::JoinFields(fewer, " ") + "\n" +
                           tools::JoinFields(more, " ") + "\n\n" + " " +
                           tools::JoinFields(fields, " ") + "\n" +      // leading space: 26
                           tools::JoinFields(fields, "  ") + "   \n" +  // runs count once
                           tools::JoinFields(fields, " ") + "\r\n";
  const auto log = Read<PCMcomm>(Write("fields.txt", text));
  EXPECT_NE(output_.Stdout().find("PCMcomm:  No. records:  6\n"), std::string::npos);
  EXPECT_EQ(log->recordCount, 2u);
}

TEST_F(PCMcommTest, ConvertsEachFieldAsTheNumberRulesReadItsText) {
  struct Case {
    std::string temperatureF, throttlePercent, map, blmCell;
  };
  for (const Case& c :
       {Case{"194F", "10%", "50", "5"}, Case{"194.5F", "10.25%x", "50.", "5x"},
        Case{"1.9e2F", "1e1%", ".5e2", "+5"}, Case{"194", "10", "49.999999999999999999", "05"},
        Case{"194FF", "%", "50kPa", "5%"}, Case{"F", "10.5", "0x32", "000000000005"}}) {
    PCMcommRecord r;
    r.temperatureF = c.temperatureF;
    r.throttlePercent = c.throttlePercent;
    r.map = c.map;
    r.blmCell = c.blmCell;
    const auto log = ReadOne(r);
    auto before = [](const std::string& text, char stop) {
      return text.substr(0, text.find(stop));
    };
    const float temperature = NarrowToFloat(ParseDouble(before(c.temperatureF, 'F')));
    const bool accepted = InRange(temperature, -50.0f, 250.0f);
    ASSERT_EQ(log->recordCount, accepted ? 1u : 0u) << c.temperatureF;
    if (!accepted) continue;
    EXPECT_EQ(log->temperature[0], temperature) << c.temperatureF;
    EXPECT_EQ(log->throttle[0], NarrowToFloat(ParseDouble(before(c.throttlePercent, '%'))))
        << c.throttlePercent;
    EXPECT_EQ(log->map[0], NarrowToFloat(ParseDouble(c.map))) << c.map;
    EXPECT_EQ(log->blmCell[0], ParseInt(c.blmCell)) << c.blmCell;
  }
}

TEST_F(PCMcommTest, CarriageReturnsAloneMakeOneLine) {
  const std::string text =
      "h1\rh2\rh3\rh4\rh5\r" + tools::JoinFields(tools::PCMcommFields(PCMcommRecord{}), " ") + "\r";
  EXPECT_EQ(Read<PCMcomm>(Write("cr.txt", text))->recordCount, 0u);
}

TEST(FieldWalkTest, PCMcommRunsOfSeparatorsCountOnce) {
  using V = std::vector<int>;
  EXPECT_EQ(Walked<FieldRule::kRunsOfSeparators>("1  2 ", ' '), (V{1, 2}));
  EXPECT_EQ(Walked<FieldRule::kRunsOfSeparators>(" 1", ' '), (V{0, 1}));
  EXPECT_EQ(Walked<FieldRule::kRunsOfSeparators>("", ' '), (V{0}));
  EXPECT_EQ(Walked<FieldRule::kRunsOfSeparators>("   ", ' '), (V{0}));
  EXPECT_EQ(Walked<FieldRule::kRunsOfSeparators>("1\t2 3", ' '), (V{1, 3}));
}

// The splitting rule written out plainly, to compare against.
std::vector<int> PlainSpaceSplit(const std::string& line) {
  std::vector<int> fields;
  std::size_t start = 0;
  std::size_t found = line.find(' ');
  while (found != std::string::npos) {
    fields.push_back(ParseInt(line.substr(start, found - start)));
    start = line.find_first_not_of(' ', found);
    if (start == std::string::npos) return fields;
    found = line.find(' ', start);
  }
  fields.push_back(ParseInt(line.substr(start)));
  return fields;
}

TEST(FieldWalkTest, PCMcommRunsOfSeparatorsAnywhereInTheLine) {
  // Lines are walked sixteen bytes at a time; a run or a separator at either
  // end must be seen wherever it falls, block boundaries included.
  const std::string base = "11 22 33 44 55 66 77 88 99 10 12 13 14";
  for (std::size_t at = 0; at <= base.size(); ++at) {
    for (const std::string& extra : {std::string(" "), std::string("  "), std::string("7 ")}) {
      std::string line = base;
      line.insert(at, extra);
      for (const std::string& text : {line, line.substr(0, at + extra.size())}) {
        EXPECT_EQ(Walked<FieldRule::kRunsOfSeparators>(text, ' '), PlainSpaceSplit(text))
            << "'" << text << "'";
      }
    }
  }
}

TEST_F(PCMcommTest, UnopenableFileIsReportedOnStandardError) {
  const std::string path = dir_.File("missing.txt");
  EXPECT_THROW(PCMcomm log(path), TrimwrightError);
  EXPECT_EQ(output_.Stderr(), "PCMcomm:  Unable to open input file " + path + "\n");
}

}  // namespace
}  // namespace trimwright
