// The history of a calibration image: a folder beside it (car.bin ->
// car.bin.history/) holding one entry per pass or undo, each the whole image
// as it was before, the pass's JSON, a copy of its report and a manifest with
// the image's hashes before and after; and beside the entries the files of
// the image that are no entry (its locks). The object owns no file; it is made by
// whoever holds the image's exclusive lock and used only while that lock is
// held (listing excepted, which changes nothing).
#ifndef TRIMWRIGHT_APP_PASSHISTORY_H_
#define TRIMWRIGHT_APP_PASSHISTORY_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace trimwright {

// One entry as its manifest describes it.
struct HistoryEntry {
  std::string name;  // folder name without state suffix, e.g. "000003-20261209T101500Z"
  std::uint64_t sequence = 0;
  std::string time;    // UTC, "2026-12-09 10:15:00"
  std::string kind;    // "pass" or "undo"
  std::string undoes;  // for an undo: the name of the pass entry it undid
  std::vector<std::string> logs;
  std::int32_t targetBlm = 0;
  std::int32_t rpmLimit = 0;
  std::int32_t cellsChanged = 0;
  std::string beforeSha256;  // the image before, as saved in the entry
  std::string afterSha256;   // the image the pass or undo leaves
  // A pass's entry: the stretch of the image it wrote, so that the image it
  // left can be rebuilt from the saved one.
  std::int64_t regionOffset = 0;
  std::string newRegion;         // read by ImageLeftBy, not by List
  std::int64_t imageBytes = -1;  // the saved image's length, -1 when unknown
  bool committed = true;         // false: prepared, its image write not confirmed
  // Why the entry cannot be used (its manifest or saved image unreadable or
  // cut short); empty for a sound entry. A damaged entry carries only its
  // name, sequence number and the time of its name.
  std::string damage;
};

class PassHistory {
 public:
  // The folder the history of imagePath lives in: beside the image itself,
  // once links to it are followed, so that every name of it shares one.
  static std::string FolderFor(const std::string& imagePath);

  explicit PassHistory(const std::string& imagePath);
  PassHistory(const PassHistory&) = delete;
  PassHistory& operator=(const PassHistory&) = delete;

  // Settles what a killed run left: entries still being written are removed;
  // a prepared entry becomes committed when the image is what it leaves
  // (currentSha256), and is removed when the image is still what it found.
  // A prepared entry matching neither is left alone and never used.
  // REQUIRES: the image's exclusive lock is held. Throws TrimwrightError.
  void Recover(const std::string& currentSha256);

  // Writes a complete entry under a temporary name, syncs it and renames it
  // "prepared". Creates the folder if needed. Throws TrimwrightError when any
  // of it fails; nothing usable is left then.
  // REQUIRES: the image's exclusive lock is held; no entry prepared by this
  // object is still open.
  void Prepare(HistoryEntry entry, const std::string& imageBefore, const std::string& planJson,
               const std::string& report);
  // Marks the prepared entry committed, after the image write succeeded.
  void Commit();
  // Removes the prepared entry, after the image write was refused.
  void Discard() noexcept;

  // Removes sound committed entries older than the newest keep; folders the
  // history did not write, and damaged entries, stay. Errors are ignored: a
  // left-over old entry is harmless.
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
  // A file of the folder that is no entry (the image's locks), which the
  // listing, undo and trimming never take for one. ReadFile gives its bytes,
  // or nothing when neither it nor the folder exists; it throws
  // TrimwrightError when it exists and cannot be read. ReplaceFile writes
  // bytes under a temporary name, syncs them, renames them over the file and
  // syncs the folder, which it creates when needed; it throws TrimwrightError
  // when any of it fails, leaving the file as it was.
  // REQUIRES for ReplaceFile: the image's exclusive lock is held.
  std::optional<std::string> ReadFile(const std::string& name) const;
  void ReplaceFile(const std::string& name, const std::string& bytes);
  std::string FilePath(const std::string& name) const { return folder_ + "/" + name; }

  // The pass's JSON as the entry stored it (pass.json); false when the entry
  // holds none (an undo) or it cannot be read.
  bool StoredPlan(const HistoryEntry& entry, std::string& json) const;

 private:
  std::string EntryPath(const std::string& name, const char* suffix) const;
  // Creates the folder (syncing its parent) unless it exists; fail is called
  // with the reason when it cannot be made or a file is in its place.
  void MakeFolder(const std::function<void(const std::string&)>& fail);

  std::string folder_;
  std::string prepared_;  // name of the entry prepared and not yet committed
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_PASSHISTORY_H_
