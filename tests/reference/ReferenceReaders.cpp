#include "tests/reference/ReferenceReaders.h"

#include <locale.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>

#include "common/TrimwrightError.h"

namespace trimwright::reference {

namespace {

locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

// Halfway between FLT_MAX and the next power of two: from here on a double
// rounds to infinity (the tie goes to the even side, which is infinity).
constexpr double kRoundsToInfinity = 0x1.ffffffp127;

// ------------------------------------------------------------- text file

// A text log read line by line: opening (a directory counts as not openable),
// counting the line reads to the end, reopening, and reading one line at a
// time without its line feed and one carriage return before it.
class LineFile {
 public:
  LineFile(const std::string& path, const std::string& diagnosticPrefix)
      : path_(path), diagnosticPrefix_(diagnosticPrefix) {
    Open();
  }

  // The number of reads that reading line by line to the end takes, the read
  // that meets the end included.
  std::int64_t CountLineReads() {
    std::int64_t reads = 0;
    while (!file_.eof()) {
      file_.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
      ++reads;
      if (file_.bad()) Fail("Unable to read input file ");
    }
    return reads;
  }

  void Reopen() {
    file_.close();
    file_.clear();
    Open();
  }

  void ReadLine(std::string& line) {
    std::getline(file_, line);
    if (file_.bad()) Fail("Unable to read input file ");
    if (!line.empty() && line.back() == '\r') line.pop_back();
  }

  void Close() { file_.close(); }

 private:
  void Open() {
    std::error_code ignored;
    if (!std::filesystem::is_directory(path_, ignored)) file_.open(path_, std::ios::in);
    if (!file_.is_open()) Fail("Unable to open input file ");
  }

  [[noreturn]] void Fail(const std::string& what) const {
    const std::string message = what + path_;
    std::cerr << diagnosticPrefix_ << message << std::endl;
    throw TrimwrightError(message);
  }

  std::string path_;
  std::string diagnosticPrefix_;
  std::ifstream file_;
};

std::string BeforeFirst(const std::string& text, char c) { return text.substr(0, text.find(c)); }

}  // namespace

// --------------------------------------------------------------- numbers

int ParseIntC(const std::string& text) {
  const long value = strtol_l(text.c_str(), nullptr, 10, CLocale());
  return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

double ParseDoubleC(const std::string& text) { return strtod_l(text.c_str(), nullptr, CLocale()); }

float ToFloat(double value) {
  if (!std::isnan(value) && std::fabs(value) >= kRoundsToInfinity) {
    const float infinity = std::numeric_limits<float>::infinity();
    return value > 0 ? infinity : -infinity;
  }
  return static_cast<float>(value);
}

// The rule a rejected record counts under, written out rule by rule in the
// order docs/command-line.md gives: rpm, map, the four trims, the throttle and the
// temperature of a text log, the cell.
Rejection FirstBrokenRule(const RecordValues& v, float temperature,
                          const TemperatureRule* textRule) {
  if (v.rpm < 500 || v.rpm > 7000) return Rejection::kRpm;
  if (!(v.map >= 0.0f && v.map <= 105.0f)) return Rejection::kMap;
  const std::array<std::pair<std::int32_t, Rejection>, 4> trims{
      {{v.blmLeft, Rejection::kBlmLeft},
       {v.blmRight, Rejection::kBlmRight},
       {v.auxLeft, Rejection::kAuxLeft},
       {v.auxRight, Rejection::kAuxRight}}};
  for (const auto& [trim, rule] : trims) {
    if (trim < 0 || trim > 255) return rule;
  }
  if (textRule && !(v.throttle >= 0.0f && v.throttle <= 100.0f)) return Rejection::kThrottle;
  if (textRule && !(temperature >= textRule->lowest && temperature <= textRule->highest)) {
    return Rejection::kTemperature;
  }
  return Rejection::kBlmCell;
}

std::vector<std::string> SplitAtCommas(const std::string& line) {
  std::vector<std::string> fields;
  std::string::size_type start = 0;
  for (;;) {
    const std::string::size_type comma = line.find(',', start);
    if (comma == std::string::npos) break;
    fields.push_back(line.substr(start, comma - start));
    start = comma + 1;
  }
  fields.push_back(line.substr(start));
  return fields;
}

std::vector<std::string> SplitAtRuns(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::string::size_type start = 0;
  std::string::size_type found = line.find(separator);
  while (found != std::string::npos) {
    fields.push_back(line.substr(start, found - start));
    start = line.find_first_not_of(separator, found);
    if (start == std::string::npos) return fields;
    found = line.find(separator, start);
  }
  fields.push_back(line.substr(start));
  return fields;
}

// ------------------------------------------------------------ Datamaster

namespace {

constexpr int kUniRecordSize = 128;

}  // namespace

ReferenceDMUni::ReferenceDMUni(const std::string& path) {
  std::cout << "DMUni:  in constructor with arg " << path << std::endl;

  std::error_code ignored;
  std::ifstream file;
  if (!std::filesystem::is_directory(path, ignored)) {
    file.open(path, std::ios::in | std::ios::binary);
  }
  if (!file.is_open()) {
    const std::string message = "Unable to open datamaster file " + path;
    std::cout << message << std::endl;
    throw TrimwrightError(message);
  }

  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  // The first record is the header.
  recordCount = CountFromFile(size / kUniRecordSize - 1);
  std::cout << "DMUni:  the number of records is " << recordCount << std::endl;

  Allocate();

  std::cout << "DMUni:  reading in data..." << std::flush;
  // The header record is read and not used; then every data record is
  // reached by its own seek, so one bad read costs only that record.
  std::array<unsigned char, kUniRecordSize> record;
  file.clear();
  file.seekg(0, std::ios::beg);
  file.read(reinterpret_cast<char*>(record.data()), kUniRecordSize);
  file.clear();
  std::uint32_t accepted = 0;
  for (std::uint32_t k = 0; k < recordCount; ++k) {
    record.fill(0);
    file.seekg(static_cast<std::streamoff>(kUniRecordSize) * (std::streamoff{k} + 1),
               std::ios::beg);
    file.read(reinterpret_cast<char*>(record.data()), kUniRecordSize);
    file.clear();

    RecordValues values;
    values.rpm = record[24] * 25;
    values.map = ToFloat(record[30] * 0.3688 + 10.4);
    values.blmCell = record[39];
    values.blmLeft = record[40];
    values.blmRight = record[41];
    values.auxLeft = record[42];
    values.auxRight = record[43];
    if (PassesSharedRanges(values)) {
      StoreShared(accepted, values);
      engineWarm[accepted] = record[15] & 1;
      highThrottle[accepted] = record[16] & 1;
      ++accepted;
    } else {
      ++rejected[static_cast<std::size_t>(FirstBrokenRule(values, 0.0f, nullptr))];
    }
  }
  std::cout << "okay" << std::endl;
  recordCount = accepted;
}

ReferenceDMUni::~ReferenceDMUni() { std::cout << "DMUni:  destructing" << std::endl; }

// -------------------------------------------------------------- Freescan

ReferenceFreescan::ReferenceFreescan(const std::string& path) {
  constexpr std::int64_t kHeaderLines = 1;
  constexpr std::size_t kFieldsNeeded = 26;
  constexpr TemperatureRule kRule{0.0f, 150.0f, 76.0};

  LineFile file(path, "");
  recordCount = CountFromFile(file.CountLineReads() - (kHeaderLines + 1));
  std::cout << "No. records:  " << recordCount << std::endl;

  file.Reopen();
  Allocate();
  std::cout << "allocating memory..." << std::flush;
  AllocateArray(temperature);
  std::cout << "okay" << std::endl;

  std::cout << "reading in data..." << std::flush;
  std::string line;
  file.ReadLine(line);  // header
  std::uint32_t accepted = 0;
  for (std::uint32_t k = 0; k < recordCount; ++k) {
    file.ReadLine(line);
    const std::vector<std::string> fields = SplitAtCommas(line);
    if (fields.size() < kFieldsNeeded) {
      ++rejected[static_cast<std::size_t>(Rejection::kUnreadable)];
      continue;
    }

    RecordValues values;
    values.rpm = ParseIntC(fields[4]);
    values.blmCell = ParseIntC(fields[8]);
    values.blmLeft = ParseIntC(fields[9]);
    values.blmRight = ParseIntC(fields[10]);
    values.auxLeft = ParseIntC(fields[11]);
    values.auxRight = ParseIntC(fields[12]);
    values.map = ToFloat(ParseDoubleC(fields[17]) * 100.0);  // bar to kPa
    values.throttle = ToFloat(ParseDoubleC(fields[18]));
    temperature[accepted] = ToFloat(ParseDoubleC(fields[25]));
    if (AcceptTextRecord(accepted, values, temperature[accepted], kRule)) {
      ++accepted;
    } else {
      ++rejected[static_cast<std::size_t>(FirstBrokenRule(values, temperature[accepted], &kRule))];
    }
  }
  recordCount = accepted;
  file.Close();
  std::cout << "done" << std::endl;
}

ReferenceFreescan::~ReferenceFreescan() {
  std::cout << "Freescan:  destructor" << std::endl;
  temperature = {};
}

// --------------------------------------------------------------- PCMComm

ReferencePCMcomm::ReferencePCMcomm(const std::string& path) {
  constexpr std::int64_t kHeaderLines = 5;
  constexpr std::size_t kFieldsPerRecord = 25;
  constexpr TemperatureRule kRule{-50.0f, 250.0f, 170.0};

  LineFile file(path, "PCMcomm:  ");
  recordCount = CountFromFile(file.CountLineReads() - (kHeaderLines + 1));
  std::cout << "PCMcomm:  No. records:  " << recordCount << std::endl;

  file.Reopen();
  Allocate();
  std::cout << "PCMcomm:  allocating memory..." << std::flush;
  AllocateArray(temperature);
  std::cout << "okay" << std::endl;

  std::cout << "PCMcomm:  reading in data..." << std::flush;
  std::string line;
  for (std::int64_t h = 0; h < kHeaderLines; ++h) file.ReadLine(line);
  std::uint32_t accepted = 0;
  for (std::uint32_t k = 0; k < recordCount; ++k) {
    file.ReadLine(line);
    const std::vector<std::string> fields = SplitAtRuns(line, ' ');
    if (fields.size() != kFieldsPerRecord) {
      ++rejected[static_cast<std::size_t>(Rejection::kUnreadable)];
      continue;
    }

    RecordValues values;
    values.rpm = ParseIntC(fields[2]);
    values.map = ToFloat(ParseDoubleC(fields[11]));
    values.throttle = ToFloat(ParseDoubleC(BeforeFirst(fields[9], '%')));
    temperature[accepted] = ToFloat(ParseDoubleC(BeforeFirst(fields[7], 'F')));
    values.blmLeft = ParseIntC(fields[15]);
    values.blmRight = ParseIntC(fields[16]);
    values.auxLeft = ParseIntC(fields[17]);
    values.auxRight = ParseIntC(fields[18]);
    values.blmCell = ParseIntC(fields[19]);
    if (AcceptTextRecord(accepted, values, temperature[accepted], kRule)) {
      ++accepted;
    } else {
      ++rejected[static_cast<std::size_t>(FirstBrokenRule(values, temperature[accepted], &kRule))];
    }
  }
  recordCount = accepted;
  file.Close();
  std::cout << "done" << std::endl;
}

ReferencePCMcomm::~ReferencePCMcomm() {
  std::cout << "PCMcomm:  destructing..." << std::flush;
  temperature = {};
  std::cout << "...done" << std::endl;
}

}  // namespace trimwright::reference
