// Writers of synthetic scan-tool logs in the three formats the program reads:
// records in, file bytes out. Tests build their inputs with them and the drive
// simulator writes its sample logs with them. Text fields are strings so a
// test can put any junk into any field.
#ifndef TRIMWRIGHT_TOOLS_LOGWRITER_H_
#define TRIMWRIGHT_TOOLS_LOGWRITER_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
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

// The pieces of each format. The whole-file writers below are made of them,
// and so is a log written record by record (see BufferedFile), so both give
// the same bytes. Lines come without their line end.

// The 128-byte header record of a Datamaster log.
std::string UniHeaderRecord();
// The 128 file bytes of the record at `index` (0 is the first record after the
// header). Unread bytes carry the pattern (k x 37 + 11) & 0xFF of their file
// offset k, so a reader that read the wrong offset sees nonsense rather than a
// lucky zero.
std::string UniRecordBytes(const UniRecord& record, std::uint64_t index);

// The Freescan header line: 26 column names.
std::string FreescanHeader();
// One 26-field record line.
std::string FreescanLine(const FreescanRecord& record);
// The 26 fields of one record line, unread fields filled in.
std::vector<std::string> FreescanFields(const FreescanRecord& record);

// The five PCMComm header lines.
std::vector<std::string> PCMcommHeader();
// One 25-field record line.
std::string PCMcommLine(const PCMcommRecord& record);
std::vector<std::string> PCMcommFields(const PCMcommRecord& record);

// A header record and one 128-byte record each.
std::string UniLog(const std::vector<UniRecord>& records);
// A header line and one record line per record.
std::string FreescanLog(const std::vector<FreescanRecord>& records, const TextLayout& layout = {});
// Five header lines and one record line per record.
std::string PCMcommLog(const std::vector<PCMcommRecord>& records, const TextLayout& layout = {});

// Joins fields with separator.
std::string JoinFields(const std::vector<std::string>& fields, const std::string& separator);

// Writes bytes to path, replacing the file. Throws std::runtime_error.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

// A file written through a large buffer, for logs too long to build in memory.
// Close() reports a failed write; a BufferedFile destroyed unclosed closes its
// file and drops any error.
class BufferedFile {
 public:
  // Creates or truncates path. Throws std::runtime_error.
  explicit BufferedFile(const std::string& path, std::size_t bufferBytes = std::size_t{8} << 20);
  ~BufferedFile();
  BufferedFile(const BufferedFile&) = delete;
  BufferedFile& operator=(const BufferedFile&) = delete;

  void Write(std::string_view bytes);
  // Write(text) followed by a line feed.
  void WriteLine(std::string_view text);
  // Flushes and closes. Throws std::runtime_error.
  void Close();

 private:
  void Flush();

  std::string path_;
  std::FILE* file_;
  std::string buffer_;
  std::size_t capacity_;
};

}  // namespace trimwright::tools

#endif  // TRIMWRIGHT_TOOLS_LOGWRITER_H_
