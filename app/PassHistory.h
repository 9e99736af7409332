// The history of a calibration image: a folder beside it (car.bin ->
// car.bin.history/) holding one entry per pass or undo, each the whole image
// as it was before, the pass's JSON, a copy of its report (and of the report
// it replaced) and a manifest with the image's hashes before and after; the
// image as it was before the history's first pass, kept for good as the
// baseline of the total limit; and beside them the files of the image that
// are no entry (its locks). The object owns no file; it is made by whoever
// holds the image's exclusive lock and used only while that lock is held
// (listing excepted, which changes nothing). Every change goes through the
// FileSystem it was made with, which must outlive it.
#ifndef TRIMWRIGHT_APP_PASSHISTORY_H_
#define TRIMWRIGHT_APP_PASSHISTORY_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/DurableFolder.h"
#include "app/HistoryManifest.h"
#include "common/FileSystem.h"

namespace trimwright {

class PassHistory {
 public:
  // The folder the history of imagePath lives in (HistoryFolderFor).
  static std::string FolderFor(const std::string& imagePath);

  explicit PassHistory(const std::string& imagePath,
                       FileSystem& fileSystem = FileSystem::Default());
  PassHistory(const PassHistory&) = delete;
  PassHistory& operator=(const PassHistory&) = delete;

  const std::string& folder() const { return folder_.path(); }

  // Settles what a killed run left: entries still being written, and
  // removals begun, are finished off; a prepared entry becomes committed
  // when the image is what it leaves (currentSha256), and is removed when
  // the image is still what it found, its report then put back as the pass
  // found it. A prepared entry matching neither is left alone and never used.
  // REQUIRES: the image's exclusive lock is held. Throws TrimwrightError.
  void Recover(const std::string& currentSha256);

  // Keeps the baseline when the history has none yet (the oldest sound
  // entry's saved image, or imageBefore for a history without entries), then
  // writes a complete entry under a temporary name, syncs it and renames it
  // "prepared". Creates the folder if needed. reportBefore: the bytes of the
  // report the pass is about to replace, when it could read them. Throws
  // TrimwrightError when any of it fails; nothing usable is left then.
  // REQUIRES: the image's exclusive lock is held; no entry prepared by this
  // object is still open.
  void Prepare(HistoryEntry entry, const std::string& imageBefore, const std::string& planJson,
               const std::string& report,
               const std::optional<std::string>& reportBefore = std::nullopt);
  // Marks the prepared entry committed, after the image write succeeded.
  void Commit();
  // Removes the prepared entry, after the image write was refused.
  void Discard() noexcept;
  // The sequence number of the entry prepared and not yet committed or
  // discarded; 0 when none is.
  std::uint64_t preparedSequence() const { return preparedSequence_; }

  // Removes sound committed entries older than the newest keep; folders the
  // history did not write, damaged entries and the kept baseline stay.
  // Errors are ignored: a left-over old entry is harmless.
  void Retain(int keep) noexcept;

  // Entries that count as done, newest first: the committed ones, and a
  // prepared one whose after-hash is currentSha256 (a run killed after its
  // image write); damaged entries too, marked as such, so that nothing is
  // hidden. Changes nothing on disk. Throws TrimwrightError when the folder
  // exists but cannot be read; none when it does not exist.
  std::vector<HistoryEntry> List(const std::string& currentSha256) const;

  // The saved image of an entry from List(), checked against its hash; and
  // for a pass, the image it left (the saved one with its region written).
  // Throw TrimwrightError when the entry cannot be read or is damaged.
  std::string SavedImage(const HistoryEntry& entry) const;
  std::string ImageLeftBy(const HistoryEntry& entry) const;

  // The pass's JSON as the entry stored it (pass.json); false when the entry
  // holds none (an undo) or it cannot be read.
  bool StoredPlan(const HistoryEntry& entry, std::string& json) const;

  // The image as it was before the first pass of the history, kept for
  // good: its record, or nothing for a history that keeps none (none yet,
  // or one written before baselines were kept). Throws TrimwrightError when
  // it is damaged or cannot be read.
  std::optional<BaselineRecord> KeptBaseline() const;
  // Its bytes, checked against its hash. Throws TrimwrightError.
  std::string KeptBaselineImage(const BaselineRecord& record) const;

  // A file of the folder that is no entry (the image's locks), which the
  // listing, undo and trimming never take for one: DurableFolder's ReadFile
  // and ReplaceFile on the history folder.
  // REQUIRES for ReplaceFile: the image's exclusive lock is held.
  std::optional<std::string> ReadFile(const std::string& name) const;
  void ReplaceFile(const std::string& name, const std::string& bytes);
  std::string FilePath(const std::string& name) const { return folder_.PathOf(name); }

 private:
  std::string EntryPath(const std::string& name, EntryState state) const;
  std::string EntryFile(const HistoryEntry& entry, const char* file) const;
  // Creates the folder and records it on the image; fail is called with
  // the reason when that cannot be done.
  template <typename Fail>
  void MakeFolder(Fail fail);
  // Keeps the baseline unless one is kept; see Prepare.
  void KeepBaseline(const std::string& imageBefore, const std::string& nextName,
                    const std::string& nextTime);
  // Discards a prepared entry that never reached the image, putting back the
  // report it replaced where the report is still the pass's own.
  void DiscardUnwritten(const EntryName& found, const HistoryEntry& entry);

  std::string imagePath_;
  DurableFolder folder_;
  std::string prepared_;  // name of the entry prepared and not yet committed
  std::uint64_t preparedSequence_ = 0;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_PASSHISTORY_H_
