// An image's history as it stands at one moment: the image's bytes and hash,
// every entry that counts (damaged ones too, as such), newest first, which
// passes later undos took back, and each pass's stored plan. The one reader
// of a history's listing: every command that reads a history asks it. Read()
// takes the image's shared lock and keeps it while the snapshot lives; a
// command that holds the image's exclusive lock makes one from its own
// PassHistory, which must outlive it.
#ifndef TRIMWRIGHT_APP_HISTORYSNAPSHOT_H_
#define TRIMWRIGHT_APP_HISTORYSNAPSHOT_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/HistoryManifest.h"
#include "app/PassHistory.h"
#include "app/StoredPlan.h"

namespace trimwright {

class ImageFile;

class HistorySnapshot {
 public:
  // Opens the image at imagePath under its shared lock and reads its
  // history. Throws TrimwrightError when the image cannot be opened or read,
  // a run holds it, or the history folder exists but cannot be read.
  static HistorySnapshot Read(const std::string& imagePath);

  // The history as it is for an image whose bytes are image.
  // REQUIRES: the image's lock is held while the snapshot is used.
  HistorySnapshot(const PassHistory& history, std::string image);

  HistorySnapshot(HistorySnapshot&&) noexcept;
  ~HistorySnapshot();

  const PassHistory& history() const { return *history_; }
  const std::string& image() const { return image_; }
  const std::string& imageSha256() const { return imageSha256_; }
  // Newest first.
  const std::vector<HistoryEntry>& entries() const { return entries_; }

  // The entry numbered number, or nullptr.
  const HistoryEntry* Find(std::uint64_t number) const;
  // The oldest entry, or nullptr for an empty history.
  const HistoryEntry* Oldest() const;
  // The number of the entry named name, 0 when the history has none.
  std::uint64_t NumberOf(const std::string& name) const;
  // A pass a later undo took back.
  bool Undone(const HistoryEntry& pass) const;
  // Whether the image is still as entry left it.
  bool ImageAsLeftBy(const HistoryEntry& entry) const { return entry.afterSha256 == imageSha256_; }

  // The newest pass no undo took back, or nullptr when none is left. A
  // damaged entry met on the way may be such a pass, so it stops the search
  // with TrimwrightError (naming imagePath) unless skipDamaged; the ones
  // skipped are added to skipped.
  const HistoryEntry* NewestNotUndone(const std::string& imagePath, bool skipDamaged,
                                      std::vector<const HistoryEntry*>* skipped = nullptr) const;

  // The plan a pass's entry stored; nothing for an undo or when it cannot be
  // read or parsed.
  std::optional<StoredPlan> Plan(const HistoryEntry& entry) const;

 private:
  std::shared_ptr<ImageFile> lock_;     // set by Read
  std::unique_ptr<PassHistory> owned_;  // set by Read
  const PassHistory* history_;
  std::string image_;
  std::string imageSha256_;
  std::vector<HistoryEntry> entries_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_HISTORYSNAPSHOT_H_
