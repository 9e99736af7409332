#include "tools/LogWriter.h"

#include "common/NumberText.h"
#include "logdata/LoggedData.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
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

// Fillers for every field of a line of `count` fields.
std::vector<std::string> Fillers(const char* prefix, std::size_t count) {
  std::vector<std::string> fields(count);
  for (std::size_t k = 0; k < count; ++k) fields[k] = Filler(prefix, k);
  return fields;
}

// Lines joined by the layout's line end; the last one gets it only when the
// layout asks for a final line break.
std::string Text(const std::vector<std::string>& lines, const TextLayout& layout) {
  std::string text;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    text += lines[k];
    if (k + 1 < lines.size() || layout.finalLineBreak) text += layout.lineEnd;
  }
  return text;
}

// The pattern byte at file offset k.
char PatternByte(std::uint64_t k) { return static_cast<char>((k * 37 + 11) & 0xFF); }

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
  r.mapBar = FixedText(s.mapKpa / 100.0, 3);
  r.throttle = FixedText(s.throttle, 1);
  r.temperature = FixedText(s.coolantC, 1);
  return r;
}

PCMcommRecord PCMcommRecord::From(const LogSample& s) {
  PCMcommRecord r;
  r.rpm = std::to_string(s.rpm);
  r.temperatureF = FixedText(s.coolantC * 9.0 / 5.0 + 32.0, 0) + "F";
  r.throttlePercent = FixedText(s.throttle, 1) + "%";
  r.map = FixedText(s.mapKpa, 1);
  r.blmLeft = std::to_string(s.blmLeft);
  r.blmRight = std::to_string(s.blmRight);
  r.auxLeft = std::to_string(s.auxLeft);
  r.auxRight = std::to_string(s.auxRight);
  r.blmCell = std::to_string(s.blmCell);
  return r;
}

std::string UniHeaderRecord() {
  std::string bytes(kUniRecordSize, '\0');
  for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = PatternByte(k);
  return bytes;
}

std::string UniRecordBytes(const UniRecord& r, std::uint64_t index) {
  const std::uint64_t offset = (index + 1) * kUniRecordSize;
  std::string record(kUniRecordSize, '\0');
  for (std::size_t k = 0; k < record.size(); ++k) record[k] = PatternByte(offset + k);
  record[15] = static_cast<char>(r.engineWarmFlags);
  record[16] = static_cast<char>(r.highThrottleFlags);
  record[24] = static_cast<char>(r.rpmCounts);
  record[30] = static_cast<char>(r.mapCounts);
  record[39] = static_cast<char>(r.blmCell);
  record[40] = static_cast<char>(r.blmLeft);
  record[41] = static_cast<char>(r.blmRight);
  record[42] = static_cast<char>(r.auxLeft);
  record[43] = static_cast<char>(r.auxRight);
  return record;
}

std::string UniLog(const std::vector<UniRecord>& records) {
  std::string bytes = UniHeaderRecord();
  bytes.reserve((records.size() + 1) * kUniRecordSize);
  for (std::size_t k = 0; k < records.size(); ++k) bytes += UniRecordBytes(records[k], k);
  return bytes;
}

std::string JoinFields(const std::vector<std::string>& fields, const std::string& separator) {
  std::size_t size = 0;
  for (const std::string& field : fields) size += field.size() + separator.size();
  std::string line;
  line.reserve(size);
  for (std::size_t k = 0; k < fields.size(); ++k) {
    if (k > 0) line += separator;
    line += fields[k];
  }
  return line;
}

std::string FreescanHeader() {
  static const std::string header = JoinFields(Fillers("Column", 26), ",");
  return header;
}

std::vector<std::string> FreescanFields(const FreescanRecord& r) {
  static const std::vector<std::string> fillers = Fillers("x", 26);
  std::vector<std::string> fields = fillers;
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

std::string FreescanLine(const FreescanRecord& r) { return JoinFields(FreescanFields(r), ","); }

std::string FreescanLog(const std::vector<FreescanRecord>& records, const TextLayout& layout) {
  std::vector<std::string> lines{FreescanHeader()};
  for (const FreescanRecord& r : records) lines.push_back(FreescanLine(r));
  return Text(lines, layout);
}

std::vector<std::string> PCMcommHeader() {
  return {"Synthetic engine data log", "Vehicle: test bench", "Recorded: 2026-12-08",
          "Columns follow", "----------------------------------------"};
}

std::vector<std::string> PCMcommFields(const PCMcommRecord& r) {
  static const std::vector<std::string> fillers = Fillers("f", 25);
  std::vector<std::string> fields = fillers;
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

std::string PCMcommLine(const PCMcommRecord& r) { return JoinFields(PCMcommFields(r), " "); }

std::string PCMcommLog(const std::vector<PCMcommRecord>& records, const TextLayout& layout) {
  std::vector<std::string> lines = PCMcommHeader();
  for (const PCMcommRecord& r : records) lines.push_back(PCMcommLine(r));
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

BufferedFile::BufferedFile(const std::string& path, std::size_t bufferBytes)
    : path_(path), file_(std::fopen(path.c_str(), "wb")), capacity_(bufferBytes) {
  if (file_ == nullptr) throw std::runtime_error("cannot write " + path);
  std::setvbuf(file_, nullptr, _IONBF, 0);  // the buffer is ours
  buffer_.reserve(capacity_);
}

BufferedFile::~BufferedFile() {
  if (file_ == nullptr) return;
  std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
  std::fclose(file_);
}

void BufferedFile::Write(std::string_view bytes) {
  if (file_ == nullptr) throw std::runtime_error("write after close: " + path_);
  if (buffer_.size() + bytes.size() > capacity_) Flush();
  if (bytes.size() >= capacity_) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
      throw std::runtime_error("cannot write " + path_);
    }
    return;
  }
  buffer_.append(bytes);
}

void BufferedFile::WriteLine(std::string_view text) {
  Write(text);
  Write("\n");
}

void BufferedFile::Flush() {
  const std::size_t written = std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
  const bool complete = written == buffer_.size();
  buffer_.clear();
  if (!complete) throw std::runtime_error("cannot write " + path_);
}

void BufferedFile::Close() {
  if (file_ == nullptr) return;
  const bool written = std::fwrite(buffer_.data(), 1, buffer_.size(), file_) == buffer_.size();
  buffer_.clear();
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!written || !closed) throw std::runtime_error("cannot write " + path_);
}

}  // namespace trimwright::tools
