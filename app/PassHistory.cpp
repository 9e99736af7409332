#include "app/PassHistory.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "app/PathRules.h"
#include "common/DiskFile.h"
#include "common/Sha256.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace fs = std::filesystem;

namespace {

// An entry is written under ".pending", renamed ".prepared" once complete
// and synced, and renamed to its bare name once the image write succeeded.
constexpr char kPending[] = ".pending";
constexpr char kPrepared[] = ".prepared";
constexpr char kImageFile[] = "image.bin";
constexpr char kRegionFile[] = "region.bin";
constexpr char kManifestFile[] = "manifest.txt";
constexpr char kPlanFile[] = "pass.json";
constexpr char kReportFile[] = "report.txt";
constexpr int kSequenceDigits = 6;

enum class EntryState { kBeingWritten, kAwaitingImage, kDone };

struct EntryName {
  std::string name;
  std::uint64_t sequence = 0;
  EntryState state = EntryState::kDone;
};

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// "000012-20261209T101500Z" with an optional state suffix; false for any
// other name, which the history leaves alone: a folder the user put there is
// never listed, used or removed.
bool ParseEntryName(std::string text, EntryName& out) {
  out.state = EntryState::kDone;
  if (EndsWith(text, kPending)) {
    out.state = EntryState::kBeingWritten;
    text.resize(text.size() - sizeof(kPending) + 1);
  } else if (EndsWith(text, kPrepared)) {
    out.state = EntryState::kAwaitingImage;
    text.resize(text.size() - sizeof(kPrepared) + 1);
  }
  const std::size_t dash = text.find('-');
  if (dash == std::string::npos || dash < kSequenceDigits) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + dash, out.sequence);
  if (error != std::errc() || end != text.data() + dash || out.sequence == 0) return false;
  // The stamp: eight digits, "T", six digits, "Z".
  const std::string stamp = text.substr(dash + 1);
  if (stamp.size() != 16 || stamp[8] != 'T' || stamp[15] != 'Z') return false;
  for (std::size_t k = 0; k < 15; ++k) {
    if (k != 8 && (stamp[k] < '0' || stamp[k] > '9')) return false;
  }
  out.name = text;
  return true;
}

// The entries in folder, oldest first; none when the folder does not exist.
// Throws TrimwrightError when it exists but cannot be read, so that a history
// out of reach is never taken for an empty one.
std::vector<EntryName> ScanFolder(const std::string& folder) {
  const auto fail = [&folder](const std::string& why) {
    throw TrimwrightError("Unable to read the history folder " + folder + " (" + why + ")");
  };
  std::error_code error;
  const fs::file_status status = fs::status(folder, error);
  if (status.type() == fs::file_type::not_found) return {};
  if (error) fail(error.message());
  if (!fs::is_directory(status)) fail("a file of that name is in the way");
  std::vector<EntryName> names;
  fs::directory_iterator it(folder, error);
  for (fs::directory_iterator end; !error && it != end; it.increment(error)) {
    EntryName name;
    std::error_code ignored;
    if (it->is_directory(ignored) && ParseEntryName(it->path().filename().string(), name)) {
      names.push_back(name);
    }
  }
  if (error) fail(error.message());
  std::sort(names.begin(), names.end(),
            [](const EntryName& a, const EntryName& b) { return a.sequence < b.sequence; });
  return names;
}

bool SyncDirectory(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  return ::close(fd) == 0 && synced;
}

bool WriteSynced(const std::string& path, const std::string& bytes) {
  DiskFile file;
  return file.CreateOrTruncate(path) && file.Write(bytes.data(), bytes.size()) && file.Sync() &&
         file.Close();
}

bool ReadWhole(const std::string& path, std::string& bytes) {
  DiskFile file;
  return file.OpenForReading(path) && file.ReadAll(bytes);
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

std::string ManifestText(const HistoryEntry& entry, std::size_t imageBytes) {
  std::string text = "version=1\nkind=" + entry.kind + "\ntime=" + entry.time + "\n";
  if (!entry.undoes.empty()) text += "undoes=" + entry.undoes + "\n";
  for (const std::string& log : entry.logs) text += "log=" + Escape(log) + "\n";
  text += "targetBlm=" + std::to_string(entry.targetBlm) + "\n";
  text += "rpmLimit=" + std::to_string(entry.rpmLimit) + "\n";
  text += "cellsChanged=" + std::to_string(entry.cellsChanged) + "\n";
  text += "regionOffset=" + std::to_string(entry.regionOffset) + "\n";
  text += "imageBytes=" + std::to_string(imageBytes) + "\n";
  text += "before=" + entry.beforeSha256 + "\nafter=" + entry.afterSha256 + "\n";
  return text;
}

bool ReadManifest(const std::string& entryPath, HistoryEntry& entry) {
  std::string text;
  if (!ReadWhole(entryPath + "/" + kManifestFile, text)) return false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "kind") entry.kind = value;
    if (key == "time") entry.time = value;
    if (key == "undoes") entry.undoes = value;
    if (key == "log") entry.logs.push_back(Unescape(value));
    if (key == "targetBlm") entry.targetBlm = ParseNumber<std::int32_t>(value);
    if (key == "rpmLimit") entry.rpmLimit = ParseNumber<std::int32_t>(value);
    if (key == "cellsChanged") entry.cellsChanged = ParseNumber<std::int32_t>(value);
    if (key == "regionOffset") entry.regionOffset = ParseNumber<std::int64_t>(value);
    if (key == "imageBytes") entry.imageBytes = ParseNumber<std::int64_t>(value);
    if (key == "before") entry.beforeSha256 = value;
    if (key == "after") entry.afterSha256 = value;
  }
  // A manifest is written whole before its entry is renamed, so one without
  // both hashes is not an entry of this history.
  return !entry.kind.empty() && !entry.beforeSha256.empty() && !entry.afterSha256.empty();
}

// What makes an entry that looks like one unusable: a manifest that cannot
// be read, or a saved image missing or of another length than it recorded.
// Empty for an entry that is sound as far as can be told without hashing.
std::string Damage(const std::string& entryPath, HistoryEntry& entry) {
  if (!ReadManifest(entryPath, entry)) return "its manifest cannot be read";
  std::error_code error;
  const std::uintmax_t bytes = fs::file_size(entryPath + "/" + kImageFile, error);
  if (error) return "its saved image cannot be read";
  if (entry.imageBytes >= 0 && bytes != static_cast<std::uintmax_t>(entry.imageBytes)) {
    return "its saved image is " + std::to_string(bytes) + " bytes long, not the " +
           std::to_string(entry.imageBytes) + " it recorded";
  }
  return "";
}

// "20261209T101500Z" as "2026-12-09 10:15:00".
std::string StampTime(const std::string& name) {
  const std::string stamp = name.substr(name.find('-') + 1);
  return stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2) + " " +
         stamp.substr(9, 2) + ":" + stamp.substr(11, 2) + ":" + stamp.substr(13, 2);
}

// The time now, UTC, as a name stamp and as display text; digits only, so
// no locale reaches it.
void Now(std::string& stamp, std::string& display) {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%04d%02d%02dT%02d%02d%02dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  stamp = buffer;
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  display = buffer;
}

std::string Padded(std::uint64_t sequence) {
  std::string text = std::to_string(sequence);
  if (text.size() < kSequenceDigits) text.insert(0, kSequenceDigits - text.size(), '0');
  return text;
}

}  // namespace

std::string PassHistory::FolderFor(const std::string& imagePath) {
  return FollowLinks(imagePath) + ".history";
}

PassHistory::PassHistory(const std::string& imagePath) : folder_(FolderFor(imagePath)) {}

std::string PassHistory::EntryPath(const std::string& name, const char* suffix) const {
  return folder_ + "/" + name + suffix;
}

void PassHistory::MakeFolder(const std::function<void(const std::string&)>& fail) {
  std::error_code error;
  if (fs::exists(fs::symlink_status(folder_, error)) && !fs::is_directory(folder_, error)) {
    fail("a file of that name is in the way");
  }
  if (fs::create_directory(folder_, error)) {
    const fs::path parent = fs::path(folder_).parent_path();
    if (!SyncDirectory(parent.empty() ? "." : parent.string())) fail("cannot sync its parent");
  } else if (error) {
    fail(error.message());
  }
}

void PassHistory::Recover(const std::string& currentSha256) {
  // A file in the folder's place is Prepare's to report.
  std::error_code error;
  if (!fs::is_directory(folder_, error) && !error) return;
  bool changed = false;
  for (const EntryName& found : ScanFolder(folder_)) {
    std::error_code ignored;
    if (found.state == EntryState::kBeingWritten) {
      fs::remove_all(EntryPath(found.name, kPending), ignored);
      changed = true;
    } else if (found.state == EntryState::kAwaitingImage) {
      HistoryEntry entry;
      const std::string path = EntryPath(found.name, kPrepared);
      if (!ReadManifest(path, entry)) continue;
      if (entry.afterSha256 == currentSha256) {
        fs::rename(path, EntryPath(found.name, ""), ignored);
        changed = true;
      } else if (entry.beforeSha256 == currentSha256) {
        fs::remove_all(path, ignored);
        changed = true;
      }
    }
  }
  if (changed) SyncDirectory(folder_);
}

void PassHistory::Prepare(HistoryEntry entry, const std::string& imageBefore,
                          const std::string& planJson, const std::string& report) {
  const auto fail = [this](const std::string& why) {
    throw TrimwrightError("Unable to write the history folder " + folder_ + " (" + why +
                          "); the calibration image was not changed");
  };
  MakeFolder(fail);
  std::error_code error;

  std::uint64_t last = 0;
  for (const EntryName& found : ScanFolder(folder_)) last = std::max(last, found.sequence);
  std::string stamp;
  Now(stamp, entry.time);
  entry.sequence = last + 1;
  entry.name = Padded(entry.sequence) + "-" + stamp;

  const std::string pending = EntryPath(entry.name, kPending);
  if (!fs::create_directory(pending, error)) fail(error ? error.message() : "entry exists");
  const bool written =
      WriteSynced(pending + "/" + kImageFile, imageBefore) &&
      (entry.newRegion.empty() || WriteSynced(pending + "/" + kRegionFile, entry.newRegion)) &&
      (planJson.empty() || WriteSynced(pending + "/" + kPlanFile, planJson)) &&
      (report.empty() || WriteSynced(pending + "/" + kReportFile, report)) &&
      WriteSynced(pending + "/" + kManifestFile, ManifestText(entry, imageBefore.size())) &&
      SyncDirectory(pending);
  const int writeErrno = errno;
  if (!written) {
    fs::remove_all(pending, error);
    fail(std::generic_category().message(writeErrno));
  }
  if (::rename(pending.c_str(), EntryPath(entry.name, kPrepared).c_str()) != 0 ||
      !SyncDirectory(folder_)) {
    const int renameErrno = errno;
    fs::remove_all(pending, error);
    fs::remove_all(EntryPath(entry.name, kPrepared), error);
    fail(std::generic_category().message(renameErrno));
  }
  prepared_ = entry.name;
}

void PassHistory::Commit() {
  if (prepared_.empty()) return;
  // A failed rename leaves the entry prepared; Recover commits it later, as
  // the image then carries its after-hash.
  if (::rename(EntryPath(prepared_, kPrepared).c_str(), EntryPath(prepared_, "").c_str()) == 0) {
    SyncDirectory(folder_);
  }
  prepared_.clear();
}

void PassHistory::Discard() noexcept {
  if (prepared_.empty()) return;
  std::error_code ignored;
  fs::remove_all(EntryPath(prepared_, kPrepared), ignored);
  SyncDirectory(folder_);
  prepared_.clear();
}

void PassHistory::Retain(int keep) noexcept {
  // Only entries this history wrote whole are ever removed; a damaged one
  // is left for the user to look at.
  std::vector<EntryName> committed;
  try {
    for (const EntryName& found : ScanFolder(folder_)) {
      HistoryEntry entry;
      if (found.state == EntryState::kDone && Damage(EntryPath(found.name, ""), entry).empty()) {
        committed.push_back(found);
      }
    }
  } catch (const TrimwrightError&) {
    return;
  }
  const std::size_t kept = static_cast<std::size_t>(std::max(keep, 0));
  if (committed.size() <= kept) return;
  std::error_code ignored;
  for (std::size_t k = 0; k < committed.size() - kept; ++k) {
    fs::remove_all(EntryPath(committed[k].name, ""), ignored);
  }
  SyncDirectory(folder_);
}

std::vector<HistoryEntry> PassHistory::List(const std::string& currentSha256) const {
  std::vector<HistoryEntry> entries;
  for (const EntryName& found : ScanFolder(folder_)) {
    if (found.state == EntryState::kBeingWritten) continue;
    HistoryEntry entry;
    entry.name = found.name;
    entry.sequence = found.sequence;
    entry.committed = found.state == EntryState::kDone;
    entry.damage = Damage(EntryPath(found.name, entry.committed ? "" : kPrepared), entry);
    if (!entry.damage.empty()) {
      entry.time = StampTime(found.name);
      entries.push_back(entry);
    } else if (entry.committed || entry.afterSha256 == currentSha256) {
      entries.push_back(entry);
    }
  }
  std::reverse(entries.begin(), entries.end());
  return entries;
}

std::string PassHistory::SavedImage(const HistoryEntry& entry) const {
  const std::string path =
      EntryPath(entry.name, entry.committed ? "" : kPrepared) + "/" + kImageFile;
  std::string bytes;
  if (!ReadWhole(path, bytes)) throw TrimwrightError("Unable to read file " + path);
  if (Sha256Hex(bytes) != entry.beforeSha256) {
    throw TrimwrightError("The saved image " + path +
                          " is damaged: its hash is not the one "
                          "its entry recorded");
  }
  return bytes;
}

std::string PassHistory::ImageLeftBy(const HistoryEntry& entry) const {
  std::string bytes = SavedImage(entry);
  const std::string path =
      EntryPath(entry.name, entry.committed ? "" : kPrepared) + "/" + kRegionFile;
  std::string region;
  if (ReadWhole(path, region) && entry.regionOffset >= 0 &&
      static_cast<std::size_t>(entry.regionOffset) + region.size() <= bytes.size()) {
    bytes.replace(static_cast<std::size_t>(entry.regionOffset), region.size(), region);
  }
  return bytes;
}

bool PassHistory::StoredPlan(const HistoryEntry& entry, std::string& json) const {
  return ReadWhole(EntryPath(entry.name, entry.committed ? "" : kPrepared) + "/" + kPlanFile, json);
}

std::optional<std::string> PassHistory::ReadFile(const std::string& name) const {
  const std::string path = FilePath(name);
  const auto fail = [&path](const std::string& why) {
    throw TrimwrightError("Unable to read file " + path + " (" + why + ")");
  };
  // No file, or no folder (a file in the folder's place holds none either).
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found) return std::nullopt;
  if (error) fail(error.message());
  if (!fs::is_regular_file(status)) fail("it is not a plain file");
  std::string bytes;
  if (!ReadWhole(path, bytes)) fail(std::generic_category().message(errno));
  return bytes;
}

void PassHistory::ReplaceFile(const std::string& name, const std::string& bytes) {
  const std::string path = FilePath(name);
  const auto fail = [&path](const std::string& why) {
    throw TrimwrightError("Unable to write file " + path + " (" + why + ")");
  };
  MakeFolder(fail);
  const std::string pending = path + kPending;
  if (!WriteSynced(pending, bytes)) {
    const int writeErrno = errno;
    std::error_code ignored;
    fs::remove(pending, ignored);
    fail(std::generic_category().message(writeErrno));
  }
  if (::rename(pending.c_str(), path.c_str()) != 0) {
    const int renameErrno = errno;
    std::error_code ignored;
    fs::remove(pending, ignored);
    fail(std::generic_category().message(renameErrno));
  }
  if (!SyncDirectory(folder_)) fail("cannot sync the folder " + folder_);
}

}  // namespace trimwright
