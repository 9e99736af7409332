#include "app/HistorySnapshot.h"

#include "calibration/ImageFile.h"
#include "common/Sha256.h"
#include "common/TrimwrightError.h"

namespace trimwright {

HistorySnapshot HistorySnapshot::Read(const std::string& imagePath) {
  // Held while the history is read and used, so that no pass changes it.
  std::shared_ptr<ImageFile> lock = ImageFile::OpenLocked(imagePath, true);
  auto history = std::make_unique<PassHistory>(imagePath);
  HistorySnapshot snapshot(*history, lock->ReadAll());
  snapshot.lock_ = std::move(lock);
  snapshot.owned_ = std::move(history);
  return snapshot;
}

HistorySnapshot::HistorySnapshot(const PassHistory& history, std::string image)
    : history_(&history), image_(std::move(image)), imageSha256_(Sha256Hex(image_)) {
  entries_ = history.List(imageSha256_);
}

HistorySnapshot::HistorySnapshot(HistorySnapshot&&) noexcept = default;
HistorySnapshot::~HistorySnapshot() = default;

const HistoryEntry* HistorySnapshot::Find(std::uint64_t number) const {
  for (const HistoryEntry& entry : entries_) {
    if (entry.sequence == number) return &entry;
  }
  return nullptr;
}

const HistoryEntry* HistorySnapshot::Oldest() const {
  return entries_.empty() ? nullptr : &entries_.back();
}

std::uint64_t HistorySnapshot::NumberOf(const std::string& name) const {
  for (const HistoryEntry& entry : entries_) {
    if (entry.name == name) return entry.sequence;
  }
  return 0;
}

bool HistorySnapshot::Undone(const HistoryEntry& pass) const {
  for (const HistoryEntry& entry : entries_) {
    if (entry.damage.empty() && entry.IsUndo() && entry.undoes == pass.name) return true;
  }
  return false;
}

const HistoryEntry* HistorySnapshot::NewestNotUndone(
    const std::string& imagePath, bool skipDamaged,
    std::vector<const HistoryEntry*>* skipped) const {
  for (const HistoryEntry& entry : entries_) {
    if (!entry.damage.empty()) {
      if (!skipDamaged) {
        throw TrimwrightError("The history entry #" + std::to_string(entry.sequence) + " of " +
                              imagePath + " is damaged (" + entry.damage +
                              "); it may be a pass not yet undone, so nothing was written. "
                              "--force undoes the newest sound pass before it anyway");
      }
      if (skipped) skipped->push_back(&entry);
      continue;
    }
    if (entry.IsPass() && !Undone(entry)) return &entry;
  }
  return nullptr;
}

std::optional<StoredPlan> HistorySnapshot::Plan(const HistoryEntry& entry) const {
  std::string json;
  if (!entry.damage.empty() || !entry.IsPass() || !history_->StoredPlan(entry, json)) {
    return std::nullopt;
  }
  return StoredPlan::Parse(json);
}

}  // namespace trimwright
