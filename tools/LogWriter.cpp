#include "tools/LogWriter.h"

#include "logdata/LoggedData.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace trimwright::tools {

namespace {

constexpr int kUniRecordSize = 128;

std::uint8_t ClampToByte(long value) {
  return static_cast<std::uint8_t>(std::clamp(value, 0L, 255L));
}

// A filler text for an unread field: prefix and the field's position.
std::string Filler(const char* prefix, std::size_t position) {
  std::string text = prefix;
  text += std::to_string(position);
  return text;
}

// Locale-free fixed notation with the given number of decimals.
std::string Fixed(double value, int decimals) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out.setf(std::ios::fixed);
  out.precision(decimals);
  out << value;
  return out.str();
}

std::string Text(const std::vector<std::string>& lines, const TextLayout& layout) {
  std::string text;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    text += lines[k];
    if (k + 1 < lines.size() || layout.finalLineBreak) text += layout.lineEnd;
  }
  return text;
}

}  // namespace

UniRecord UniRecord::From(const LogSample& s) {
  UniRecord r;
  r.engineWarmFlags = s.coolantC > 76.0 ? 1 : 0;
  r.highThrottleFlags = LoggedData::IsHighThrottle(static_cast<float>(s.throttle), s.rpm) ? 1 : 0;
  r.rpmCounts = ClampToByte(std::lround(s.rpm / 25.0));
  r.mapCounts = ClampToByte(std::lround((s.mapKpa - 10.4) / 0.3688));
  r.blmCell = ClampToByte(s.blmCell);
  r.blmLeft = ClampToByte(s.blmLeft);
  r.blmRight = ClampToByte(s.blmRight);
  r.auxLeft = ClampToByte(s.auxLeft);
  r.auxRight = ClampToByte(s.auxRight);
  return r;
}

FreescanRecord FreescanRecord::From(const LogSample& s) {
  FreescanRecord r;
  r.rpm = std::to_string(s.rpm);
  r.blmCell = std::to_string(s.blmCell);
  r.blmLeft = std::to_string(s.blmLeft);
  r.blmRight = std::to_string(s.blmRight);
  r.auxLeft = std::to_string(s.auxLeft);
  r.auxRight = std::to_string(s.auxRight);
  r.mapBar = Fixed(s.mapKpa / 100.0, 3);
  r.throttle = Fixed(s.throttle, 1);
  r.temperature = Fixed(s.coolantC, 1);
  return r;
}

PCMcommRecord PCMcommRecord::From(const LogSample& s) {
  PCMcommRecord r;
  r.rpm = std::to_string(s.rpm);
  r.temperatureF = Fixed(s.coolantC * 9.0 / 5.0 + 32.0, 0) + "F";
  r.throttlePercent = Fixed(s.throttle, 1) + "%";
  r.map = Fixed(s.mapKpa, 1);
  r.blmLeft = std::to_string(s.blmLeft);
  r.blmRight = std::to_string(s.blmRight);
  r.auxLeft = std::to_string(s.auxLeft);
  r.auxRight = std::to_string(s.auxRight);
  r.blmCell = std::to_string(s.blmCell);
  return r;
}

std::string UniLog(const std::vector<UniRecord>& records) {
  std::string bytes((records.size() + 1) * kUniRecordSize, '\0');
  // Bytes the reader never looks at carry a pattern, so a reader that read
  // the wrong offset would see nonsense rather than a lucky zero.
  for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<char>((k * 37 + 11) & 0xFF);
  for (std::size_t k = 0; k < records.size(); ++k) {
    char* record = &bytes[(k + 1) * kUniRecordSize];
    const UniRecord& r = records[k];
    record[15] = static_cast<char>(r.engineWarmFlags);
    record[16] = static_cast<char>(r.highThrottleFlags);
    record[24] = static_cast<char>(r.rpmCounts);
    record[30] = static_cast<char>(r.mapCounts);
    record[39] = static_cast<char>(r.blmCell);
    record[40] = static_cast<char>(r.blmLeft);
    record[41] = static_cast<char>(r.blmRight);
    record[42] = static_cast<char>(r.auxLeft);
    record[43] = static_cast<char>(r.auxRight);
  }
  return bytes;
}

std::string JoinFields(const std::vector<std::string>& fields, const std::string& separator) {
  std::string line;
  for (std::size_t k = 0; k < fields.size(); ++k) {
    if (k > 0) line += separator;
    line += fields[k];
  }
  return line;
}

std::vector<std::string> FreescanFields(const FreescanRecord& r) {
  std::vector<std::string> fields(26);
  for (std::size_t k = 0; k < fields.size(); ++k) fields[k] = Filler("x", k);
  fields[0] = "12.5";  // time stamp
  fields[4] = r.rpm;
  fields[8] = r.blmCell;
  fields[9] = r.blmLeft;
  fields[10] = r.blmRight;
  fields[11] = r.auxLeft;
  fields[12] = r.auxRight;
  fields[17] = r.mapBar;
  fields[18] = r.throttle;
  fields[25] = r.temperature;
  return fields;
}

std::string FreescanLog(const std::vector<FreescanRecord>& records, const TextLayout& layout) {
  std::vector<std::string> header(26);
  for (std::size_t k = 0; k < header.size(); ++k) header[k] = Filler("Column", k);
  std::vector<std::string> lines{JoinFields(header, ",")};
  for (const FreescanRecord& r : records) lines.push_back(JoinFields(FreescanFields(r), ","));
  return Text(lines, layout);
}

std::vector<std::string> PCMcommFields(const PCMcommRecord& r) {
  std::vector<std::string> fields(25);
  for (std::size_t k = 0; k < fields.size(); ++k) fields[k] = Filler("f", k);
  fields[2] = r.rpm;
  fields[7] = r.temperatureF;
  fields[9] = r.throttlePercent;
  fields[11] = r.map;
  fields[15] = r.blmLeft;
  fields[16] = r.blmRight;
  fields[17] = r.auxLeft;
  fields[18] = r.auxRight;
  fields[19] = r.blmCell;
  return fields;
}

std::string PCMcommLog(const std::vector<PCMcommRecord>& records, const TextLayout& layout) {
  std::vector<std::string> lines{"Synthetic engine data log", "Vehicle: test bench",
                                 "Recorded: 2026-12-08", "Columns follow",
                                 "----------------------------------------"};
  for (const PCMcommRecord& r : records) lines.push_back(JoinFields(PCMcommFields(r), " "));
  return Text(lines, layout);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace trimwright::tools
