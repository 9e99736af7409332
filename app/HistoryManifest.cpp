#include "app/HistoryManifest.h"

#include <charconv>
#include <cstdio>
#include <functional>

namespace trimwright {

namespace {

constexpr char kPending[] = ".pending";
constexpr char kPrepared[] = ".prepared";
constexpr char kRemoving[] = ".removing";
constexpr int kSequenceDigits = 6;

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

const char* Suffix(EntryState state) {
  switch (state) {
    case EntryState::kBeingWritten:
      return kPending;
    case EntryState::kAwaitingImage:
      return kPrepared;
    case EntryState::kBeingRemoved:
      return kRemoving;
    case EntryState::kDone:
      break;
  }
  return "";
}

// Manifest values stay on one line: backslash and line feed are escaped.
std::string Escape(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (text[k] == '\\' && k + 1 < text.size()) {
      ++k;
      out += text[k] == 'n' ? '\n' : text[k];
    } else {
      out += text[k];
    }
  }
  return out;
}

template <typename Number>
Number ParseNumber(const std::string& text) {
  Number value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// Calls take(key, value) for every "key=value" line of text.
void ForEachLine(const std::string& text,
                 const std::function<void(const std::string&, const std::string&)>& take) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) take(line.substr(0, equals), line.substr(equals + 1));
  }
}

std::tm Utc(std::time_t time) {
  std::tm utc{};
  gmtime_r(&time, &utc);
  return utc;
}

}  // namespace

const char* KindName(EntryKind kind) { return kind == EntryKind::kUndo ? "undo" : "pass"; }

std::string EntryName::Folder(const std::string& name, EntryState state) {
  return name + Suffix(state);
}

std::string EntryName::Folder() const { return Folder(name, state); }

std::optional<EntryName> EntryName::Parse(std::string text) {
  EntryName out;
  for (const EntryState state :
       {EntryState::kBeingWritten, EntryState::kAwaitingImage, EntryState::kBeingRemoved}) {
    if (EndsWith(text, Suffix(state))) {
      out.state = state;
      text.resize(text.size() - std::string(Suffix(state)).size());
      break;
    }
  }
  const std::size_t dash = text.find('-');
  if (dash == std::string::npos || dash < kSequenceDigits) return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + dash, out.sequence);
  if (error != std::errc() || end != text.data() + dash || out.sequence == 0) return std::nullopt;
  // The stamp: eight digits, "T", six digits, "Z".
  const std::string stamp = text.substr(dash + 1);
  if (stamp.size() != 16 || stamp[8] != 'T' || stamp[15] != 'Z') return std::nullopt;
  for (std::size_t k = 0; k < 15; ++k) {
    if (k != 8 && (stamp[k] < '0' || stamp[k] > '9')) return std::nullopt;
  }
  out.name = text;
  return out;
}

std::string EntryName::Make(std::uint64_t sequence, std::time_t time) {
  std::string number = std::to_string(sequence);
  if (number.size() < kSequenceDigits) number.insert(0, kSequenceDigits - number.size(), '0');
  const std::tm utc = Utc(time);
  char stamp[96];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02dT%02d%02d%02dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return number + "-" + stamp;
}

std::string StampTime(const std::string& name) {
  const std::string stamp = name.substr(name.find('-') + 1);
  return stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2) + " " +
         stamp.substr(9, 2) + ":" + stamp.substr(11, 2) + ":" + stamp.substr(13, 2);
}

std::string DisplayTime(std::time_t time) {
  const std::tm utc = Utc(time);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return text;
}

std::string ManifestText(const HistoryEntry& entry, std::size_t imageBytes) {
  std::string text =
      std::string("version=1\nkind=") + KindName(entry.kind) + "\ntime=" + entry.time + "\n";
  if (!entry.undoes.empty()) text += "undoes=" + entry.undoes + "\n";
  for (const std::string& log : entry.logs) text += "log=" + Escape(log) + "\n";
  text += "targetBlm=" + std::to_string(entry.targetBlm) + "\n";
  text += "rpmLimit=" + std::to_string(entry.rpmLimit) + "\n";
  text += "cellsChanged=" + std::to_string(entry.cellsChanged) + "\n";
  text += "regionOffset=" + std::to_string(entry.regionOffset) + "\n";
  text += "imageBytes=" + std::to_string(imageBytes) + "\n";
  if (!entry.reportPath.empty()) {
    text += "report=" + Escape(entry.reportPath) + "\n";
    text += std::string("reportExisted=") + (entry.reportExisted ? "1" : "0") + "\n";
  }
  text += "before=" + entry.beforeSha256 + "\nafter=" + entry.afterSha256 + "\n";
  return text;
}

bool ParseManifest(const std::string& text, HistoryEntry& entry) {
  bool kind = false;
  ForEachLine(text, [&](const std::string& key, const std::string& value) {
    if (key == "kind" && (value == "pass" || value == "undo")) {
      entry.kind = value == "undo" ? EntryKind::kUndo : EntryKind::kPass;
      kind = true;
    }
    if (key == "time") entry.time = value;
    if (key == "undoes") entry.undoes = value;
    if (key == "log") entry.logs.push_back(Unescape(value));
    if (key == "targetBlm") entry.targetBlm = ParseNumber<std::int32_t>(value);
    if (key == "rpmLimit") entry.rpmLimit = ParseNumber<std::int32_t>(value);
    if (key == "cellsChanged") entry.cellsChanged = ParseNumber<std::int32_t>(value);
    if (key == "regionOffset") entry.regionOffset = ParseNumber<std::int64_t>(value);
    if (key == "imageBytes") entry.imageBytes = ParseNumber<std::int64_t>(value);
    if (key == "report") entry.reportPath = Unescape(value);
    if (key == "reportExisted") entry.reportExisted = value == "1";
    if (key == "before") entry.beforeSha256 = value;
    if (key == "after") entry.afterSha256 = value;
  });
  // A manifest is written whole before its entry is renamed, so one without
  // its kind and both hashes is not an entry of this history.
  return kind && !entry.beforeSha256.empty() && !entry.afterSha256.empty();
}

std::string BaselineRecord::Describe() const {
  return "the image before entry #" + std::to_string(sequence) + " of its history (" + time +
         " UTC)";
}

std::string BaselineText(const BaselineRecord& record) {
  return "version=1\nentry=" + record.entry + "\ntime=" + record.time +
         "\nimageBytes=" + std::to_string(record.imageBytes) + "\nsha256=" + record.sha256 + "\n";
}

bool ParseBaseline(const std::string& text, BaselineRecord& record) {
  ForEachLine(text, [&](const std::string& key, const std::string& value) {
    if (key == "entry") record.entry = value;
    if (key == "time") record.time = value;
    if (key == "imageBytes") record.imageBytes = ParseNumber<std::int64_t>(value);
    if (key == "sha256") record.sha256 = value;
  });
  const std::optional<EntryName> name = EntryName::Parse(record.entry);
  if (name) record.sequence = name->sequence;
  return name && !record.time.empty() && !record.sha256.empty() && record.imageBytes >= 0;
}

}  // namespace trimwright
