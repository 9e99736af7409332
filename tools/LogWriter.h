// Writers of synthetic scan-tool logs in the three formats the program reads:
// records in, file bytes out. Tests build their inputs with them and the drive
// simulator writes its sample logs with them. Text fields are strings so a
// test can put any junk into any field.
#ifndef TRIMWRIGHT_TOOLS_LOGWRITER_H_
#define TRIMWRIGHT_TOOLS_LOGWRITER_H_

#include <cstdint>
#include <string>
#include <vector>

namespace trimwright::tools {

// One logged moment in engineering units.
struct LogSample {
  int rpm = 1600;
  double mapKpa = 50.0;
  double throttle = 10.0;  // percent
  double coolantC = 90.0;
  int blmLeft = 128;
  int blmRight = 128;
  int auxLeft = 128;
  int auxRight = 128;
  int blmCell = 5;
};

// The bytes a Datamaster record carries in the fields the reader decodes.
struct UniRecord {
  std::uint8_t engineWarmFlags = 1;    // byte 15, bit 0
  std::uint8_t highThrottleFlags = 0;  // byte 16, bit 0
  std::uint8_t rpmCounts = 64;         // byte 24, 25 rpm each
  std::uint8_t mapCounts = 108;        // byte 30, kPa = counts x 0.3688 + 10.4
  std::uint8_t blmCell = 5;
  std::uint8_t blmLeft = 128;
  std::uint8_t blmRight = 128;
  std::uint8_t auxLeft = 128;
  std::uint8_t auxRight = 128;

  // The nearest encoding of a sample; flags from coolant above 76 C and the
  // high-throttle thresholds.
  static UniRecord From(const LogSample& sample);
};

// The fields of a Freescan record line that the reader decodes.
struct FreescanRecord {
  std::string rpm = "1600";
  std::string blmCell = "5";
  std::string blmLeft = "128";
  std::string blmRight = "128";
  std::string auxLeft = "128";
  std::string auxRight = "128";
  std::string mapBar = "0.5";
  std::string throttle = "10";
  std::string temperature = "90";

  static FreescanRecord From(const LogSample& sample);
};

// The fields of a PCMComm record line that the reader decodes.
struct PCMcommRecord {
  std::string rpm = "1600";
  std::string temperatureF = "194F";
  std::string throttlePercent = "10%";
  std::string map = "50";
  std::string blmLeft = "128";
  std::string blmRight = "128";
  std::string auxLeft = "128";
  std::string auxRight = "128";
  std::string blmCell = "5";

  static PCMcommRecord From(const LogSample& sample);
};

// How text lines end, and whether the last line has its line break.
struct TextLayout {
  std::string lineEnd = "\n";
  bool finalLineBreak = true;
};

// A header record and one 128-byte record each; unread bytes hold a pattern.
std::string UniLog(const std::vector<UniRecord>& records);

// A header line and one 26-field line per record.
std::string FreescanLog(const std::vector<FreescanRecord>& records, const TextLayout& layout = {});
// The 26 fields of one record line, unread fields filled in.
std::vector<std::string> FreescanFields(const FreescanRecord& record);

// Five header lines and one 25-field line per record.
std::string PCMcommLog(const std::vector<PCMcommRecord>& records, const TextLayout& layout = {});
std::vector<std::string> PCMcommFields(const PCMcommRecord& record);

// Joins fields with separator.
std::string JoinFields(const std::vector<std::string>& fields, const std::string& separator);

// Writes bytes to path, replacing the file. Throws std::runtime_error.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

}  // namespace trimwright::tools

#endif  // TRIMWRIGHT_TOOLS_LOGWRITER_H_
