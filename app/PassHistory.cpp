#include "app/PassHistory.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "app/HistoryLocation.h"
#include "app/PathRules.h"
#include "common/DiskFile.h"
#include "common/Sha256.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace fs = std::filesystem;

namespace {

constexpr char kImageFile[] = "image.bin";
constexpr char kRegionFile[] = "region.bin";
constexpr char kManifestFile[] = "manifest.txt";
constexpr char kPlanFile[] = "pass.json";
constexpr char kReportFile[] = "report.txt";
// The report a pass replaced, kept so that a pass killed before its image
// write can put it back.
constexpr char kReportBeforeFile[] = "report.before";
// The baseline: written as kBaselinePending, renamed once whole.
constexpr char kBaseline[] = "baseline";
constexpr char kBaselinePending[] = "baseline.pending";

std::string Reason(int error) { return std::generic_category().message(error); }

// The entries in folder, in every state, oldest first; none when the folder
// does not exist. Throws TrimwrightError when it exists but cannot be read,
// so that a history out of reach is never taken for an empty one.
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
    std::error_code ignored;
    if (!it->is_directory(ignored)) continue;
    if (std::optional<EntryName> name = EntryName::Parse(it->path().filename().string())) {
      names.push_back(*name);
    }
  }
  if (error) fail(error.message());
  std::sort(names.begin(), names.end(),
            [](const EntryName& a, const EntryName& b) { return a.sequence < b.sequence; });
  return names;
}

// What makes an entry that looks like one unusable: a manifest that cannot
// be read, or a saved image missing or of another length than it recorded.
// Empty for an entry that is sound as far as can be told without hashing.
std::string Damage(const std::string& entryPath, HistoryEntry& entry) {
  std::string manifest;
  if (!ReadWholeFile(entryPath + "/" + kManifestFile, manifest) ||
      !ParseManifest(manifest, entry)) {
    return "its manifest cannot be read";
  }
  std::error_code error;
  const std::uintmax_t bytes = fs::file_size(entryPath + "/" + kImageFile, error);
  if (error) return "its saved image cannot be read";
  if (entry.imageBytes >= 0 && bytes != static_cast<std::uintmax_t>(entry.imageBytes)) {
    return "its saved image is " + std::to_string(bytes) + " bytes long, not the " +
           std::to_string(entry.imageBytes) + " it recorded";
  }
  return "";
}

// The bytes of the file at path, checked against sha256; what and whose
// name it and the record of its hash in the message of a mismatch.
std::string CheckedImage(const std::string& path, const std::string& sha256, const char* what,
                         const char* whose) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) throw TrimwrightError("Unable to read file " + path);
  if (Sha256Hex(bytes) != sha256) {
    throw TrimwrightError(std::string("The ") + what + " " + path +
                          " is damaged: its hash is not the one " + whose + " recorded");
  }
  return bytes;
}

}  // namespace

std::string PassHistory::FolderFor(const std::string& imagePath) {
  return HistoryFolderFor(imagePath);
}

PassHistory::PassHistory(const std::string& imagePath, FileSystem& fileSystem)
    : imagePath_(imagePath), folder_(FolderFor(imagePath), fileSystem, "history folder") {}

std::string PassHistory::EntryPath(const std::string& name, EntryState state) const {
  return folder_.PathOf(EntryName::Folder(name, state));
}

std::string PassHistory::EntryFile(const HistoryEntry& entry, const char* file) const {
  return EntryPath(entry.name, entry.committed ? EntryState::kDone : EntryState::kAwaitingImage) +
         "/" + file;
}

template <typename Fail>
void PassHistory::MakeFolder(Fail fail) {
  const std::string why = folder_.Make();
  if (!why.empty()) fail(why);
  RecordHistoryFolder(imagePath_, folder_.path());
}

void PassHistory::Recover(const std::string& currentSha256) {
  // A file in the folder's place is Prepare's to report.
  std::error_code error;
  if (!fs::is_directory(folder_.path(), error)) return;
  FileSystem& files = folder_.fileSystem();
  bool changed = false;
  if (fs::exists(folder_.PathOf(kBaselinePending), error)) {
    changed |= files.RemoveAll(folder_.PathOf(kBaselinePending));
  }
  for (const EntryName& found : ScanFolder(folder_.path())) {
    const std::string path = folder_.PathOf(found.Folder());
    if (found.state == EntryState::kBeingWritten || found.state == EntryState::kBeingRemoved) {
      changed |= files.RemoveAll(path);
    } else if (found.state == EntryState::kAwaitingImage) {
      HistoryEntry entry;
      std::string manifest;
      if (!ReadWholeFile(path + "/" + kManifestFile, manifest) || !ParseManifest(manifest, entry)) {
        continue;
      }
      entry.name = found.name;
      entry.committed = false;
      if (entry.afterSha256 == currentSha256) {
        folder_.Rename(found.Folder(), found.name);
      } else if (entry.beforeSha256 == currentSha256) {
        DiscardUnwritten(found, entry);
      }
    }
  }
  if (changed) folder_.Sync();
}

void PassHistory::DiscardUnwritten(const EntryName& found, const HistoryEntry& entry) {
  if (!entry.reportPath.empty()) {
    std::string own;
    std::string now;
    const bool read = ReadWholeFile(EntryFile(entry, kReportFile), own);
    const bool present = ReadWholeFile(entry.reportPath, now);
    // Only a report that is still this pass's own (or the empty file its
    // opening left) is put back; a newer one stays.
    if (read && present && (now == own || (now.empty() && !entry.reportExisted))) {
      std::string before;
      if (!entry.reportExisted) {
        folder_.fileSystem().RemoveAll(entry.reportPath);
      } else if (ReadWholeFile(EntryFile(entry, kReportBeforeFile), before)) {
        DiskFile report(folder_.fileSystem());
        if (report.OpenExisting(entry.reportPath) && report.Truncate(0) &&
            report.WriteAt(0, before.data(), before.size())) {
          report.Sync();
        }
      }
    }
  }
  folder_.Remove(found.Folder(), EntryName::Folder(found.name, EntryState::kBeingRemoved));
}

void PassHistory::Prepare(HistoryEntry entry, const std::string& imageBefore,
                          const std::string& planJson, const std::string& report,
                          const std::optional<std::string>& reportBefore) {
  const auto fail = [this](const std::string& why) {
    throw TrimwrightError("Unable to write the history folder " + folder_.path() + " (" + why +
                          "); the calibration image was not changed");
  };
  MakeFolder(fail);
  FileSystem& files = folder_.fileSystem();

  std::uint64_t last = 0;
  for (const EntryName& found : ScanFolder(folder_.path())) last = std::max(last, found.sequence);
  const std::time_t now = files.Now();
  entry.time = DisplayTime(now);
  entry.sequence = last + 1;
  entry.name = EntryName::Make(entry.sequence, now);
  try {
    KeepBaseline(imageBefore, entry.name, entry.time);
  } catch (const TrimwrightError& error) {
    fail(error.what());
  }

  const std::string pending = EntryPath(entry.name, EntryState::kBeingWritten);
  if (!files.MakeFolder(pending)) fail(Reason(errno));
  const bool keepsReportBefore = entry.reportExisted && reportBefore.has_value();
  const bool written =
      folder_.WriteFile(pending + "/" + kImageFile, imageBefore) &&
      (entry.newRegion.empty() ||
       folder_.WriteFile(pending + "/" + kRegionFile, entry.newRegion)) &&
      (planJson.empty() || folder_.WriteFile(pending + "/" + kPlanFile, planJson)) &&
      (report.empty() || folder_.WriteFile(pending + "/" + kReportFile, report)) &&
      (!keepsReportBefore || folder_.WriteFile(pending + "/" + kReportBeforeFile, *reportBefore)) &&
      folder_.WriteFile(pending + "/" + kManifestFile, ManifestText(entry, imageBefore.size())) &&
      folder_.SyncFolder(pending);
  const int writeErrno = errno;
  if (!written) {
    files.RemoveAll(pending);
    fail(Reason(writeErrno));
  }
  const std::string prepared = EntryPath(entry.name, EntryState::kAwaitingImage);
  if (!files.Rename(pending, prepared) || !folder_.Sync()) {
    const int renameErrno = errno;
    // Gone before anything counts it; a prepared entry left behind when
    // even this fails is one the image never reached, which Recover removes.
    files.RemoveAll(pending);
    folder_.Remove(EntryName::Folder(entry.name, EntryState::kAwaitingImage),
                   EntryName::Folder(entry.name, EntryState::kBeingRemoved));
    fail(Reason(renameErrno));
  }
  prepared_ = entry.name;
  preparedSequence_ = entry.sequence;
}

void PassHistory::KeepBaseline(const std::string& imageBefore, const std::string& nextName,
                               const std::string& nextTime) {
  std::error_code error;
  if (fs::exists(fs::symlink_status(folder_.PathOf(kBaseline), error))) return;
  BaselineRecord record;
  std::string bytes;
  // A history from before baselines were kept: its oldest entry holds it,
  // unless that entry is damaged (then none is kept, and the total limit
  // says so when it needs one).
  for (const EntryName& found : ScanFolder(folder_.path())) {
    if (found.state != EntryState::kDone) continue;
    HistoryEntry oldest;
    oldest.name = found.name;
    if (!Damage(folder_.PathOf(found.name), oldest).empty()) return;
    try {
      bytes = SavedImage(oldest);
    } catch (const TrimwrightError&) {
      return;
    }
    record = BaselineRecord{found.name, found.sequence, oldest.time, oldest.beforeSha256, 0};
    break;
  }
  if (record.entry.empty()) {
    bytes = imageBefore;
    record = BaselineRecord{nextName, 0, nextTime, Sha256Hex(imageBefore), 0};
  }
  record.imageBytes = static_cast<std::int64_t>(bytes.size());
  FileSystem& files = folder_.fileSystem();
  const std::string pending = folder_.PathOf(kBaselinePending);
  files.RemoveAll(pending);
  const bool written = files.MakeFolder(pending) &&
                       folder_.WriteFile(pending + "/" + kImageFile, bytes) &&
                       folder_.WriteFile(pending + "/" + kManifestFile, BaselineText(record)) &&
                       folder_.SyncFolder(pending) && folder_.Rename(kBaselinePending, kBaseline);
  if (!written) {
    const int writeErrno = errno;
    files.RemoveAll(pending);
    throw TrimwrightError("cannot keep the baseline: " + Reason(writeErrno));
  }
}

std::optional<BaselineRecord> PassHistory::KeptBaseline() const {
  const std::string path = folder_.PathOf(kBaseline);
  std::error_code error;
  if (!fs::exists(fs::symlink_status(path, error))) return std::nullopt;
  std::string text;
  BaselineRecord record;
  if (!ReadWholeFile(path + "/" + kManifestFile, text) || !ParseBaseline(text, record)) {
    throw TrimwrightError("The baseline kept in " + path +
                          " is damaged: its manifest cannot be read");
  }
  return record;
}

std::string PassHistory::KeptBaselineImage(const BaselineRecord& record) const {
  return CheckedImage(folder_.PathOf(kBaseline) + "/" + kImageFile, record.sha256,
                      "baseline kept as", "its history");
}

void PassHistory::Commit() {
  if (prepared_.empty()) return;
  // A failed rename leaves the entry prepared; Recover commits it later, as
  // the image then carries its after-hash.
  folder_.Rename(EntryName::Folder(prepared_, EntryState::kAwaitingImage), prepared_);
  prepared_.clear();
  preparedSequence_ = 0;
}

void PassHistory::Discard() noexcept {
  if (prepared_.empty()) return;
  // Should the removal fail, the entry stays prepared with the image it
  // saved, which is the image now: Recover removes it then.
  folder_.Remove(EntryName::Folder(prepared_, EntryState::kAwaitingImage),
                 EntryName::Folder(prepared_, EntryState::kBeingRemoved));
  prepared_.clear();
  preparedSequence_ = 0;
}

void PassHistory::Retain(int keep) noexcept {
  // Only entries this history wrote whole are ever removed; a damaged one
  // is left for the user to look at.
  std::vector<EntryName> committed;
  try {
    for (const EntryName& found : ScanFolder(folder_.path())) {
      HistoryEntry entry;
      if (found.state == EntryState::kDone && Damage(folder_.PathOf(found.name), entry).empty()) {
        committed.push_back(found);
      }
    }
  } catch (const TrimwrightError&) {
    return;
  }
  const std::size_t kept = static_cast<std::size_t>(std::max(keep, 0));
  for (std::size_t k = 0; k + kept < committed.size(); ++k) {
    folder_.Remove(committed[k].name,
                   EntryName::Folder(committed[k].name, EntryState::kBeingRemoved));
  }
}

std::vector<HistoryEntry> PassHistory::List(const std::string& currentSha256) const {
  std::vector<HistoryEntry> entries;
  for (const EntryName& found : ScanFolder(folder_.path())) {
    if (found.state == EntryState::kBeingWritten || found.state == EntryState::kBeingRemoved) {
      continue;
    }
    HistoryEntry entry;
    entry.name = found.name;
    entry.sequence = found.sequence;
    entry.committed = found.state == EntryState::kDone;
    entry.damage = Damage(folder_.PathOf(found.Folder()), entry);
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
  return CheckedImage(EntryFile(entry, kImageFile), entry.beforeSha256, "saved image", "its entry");
}

std::string PassHistory::ImageLeftBy(const HistoryEntry& entry) const {
  std::string bytes = SavedImage(entry);
  std::string region;
  if (ReadWholeFile(EntryFile(entry, kRegionFile), region) && entry.regionOffset >= 0 &&
      static_cast<std::size_t>(entry.regionOffset) + region.size() <= bytes.size()) {
    bytes.replace(static_cast<std::size_t>(entry.regionOffset), region.size(), region);
  }
  return bytes;
}

bool PassHistory::StoredPlan(const HistoryEntry& entry, std::string& json) const {
  return ReadWholeFile(EntryFile(entry, kPlanFile), json);
}

std::optional<std::string> PassHistory::ReadFile(const std::string& name) const {
  return folder_.ReadFile(name);
}

void PassHistory::ReplaceFile(const std::string& name, const std::string& bytes) {
  MakeFolder([this, &name](const std::string& why) {
    throw TrimwrightError("Unable to write file " + FilePath(name) + " (" + why + ")");
  });
  folder_.ReplaceFile(name, bytes);
}

}  // namespace trimwright
