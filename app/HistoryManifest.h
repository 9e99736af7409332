// The formats of an image's history folder: the names of its entries
// ("000012-20261209T101500Z", with a suffix while an entry is being written,
// awaits its image write or is being removed) and the manifest each entry
// and the kept baseline carry. Plain values and functions; nothing here
// touches a file.
#ifndef TRIMWRIGHT_APP_HISTORYMANIFEST_H_
#define TRIMWRIGHT_APP_HISTORYMANIFEST_H_

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace trimwright {

enum class EntryKind { kPass, kUndo };

// "pass" or "undo", as the manifest and the JSON write them.
const char* KindName(EntryKind kind);

// One entry as its manifest describes it.
struct HistoryEntry {
  std::string name;  // folder name without state suffix, e.g. "000003-20261209T101500Z"
  std::uint64_t sequence = 0;
  std::string time;  // UTC, "2026-12-09 10:15:00"
  EntryKind kind = EntryKind::kPass;
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
  // A pass's report, by its absolute path, and what it held before the pass
  // replaced it: nothing when the pass created it (reportExisted false), the
  // bytes the entry keeps beside its own report when it could read them.
  std::string reportPath;
  bool reportExisted = false;
  bool committed = true;  // false: prepared, its image write not confirmed
  // Why the entry cannot be used (its manifest or saved image unreadable or
  // cut short); empty for a sound entry. A damaged entry carries only its
  // name, sequence number and the time of its name.
  std::string damage;

  bool IsPass() const { return kind == EntryKind::kPass; }
  bool IsUndo() const { return kind == EntryKind::kUndo; }
};

// Where an entry's folder stands in its life, told by its name's suffix.
enum class EntryState { kBeingWritten, kAwaitingImage, kBeingRemoved, kDone };

struct EntryName {
  std::string name;  // without the suffix
  std::uint64_t sequence = 0;
  EntryState state = EntryState::kDone;

  // The folder name with the state's suffix.
  std::string Folder() const;
  static std::string Folder(const std::string& name, EntryState state);
  // "000012-20261209T101500Z" with an optional state suffix; nothing for any
  // other name, which the history leaves alone: a folder the user put there
  // is never listed, used or removed.
  static std::optional<EntryName> Parse(std::string text);
  // The name of entry sequence made at time.
  static std::string Make(std::uint64_t sequence, std::time_t time);
};

// "20261209T101500Z" of an entry name as "2026-12-09 10:15:00".
std::string StampTime(const std::string& name);
// A time as display text, "2026-12-09 10:15:00" (UTC, digits only).
std::string DisplayTime(std::time_t time);

// An entry's manifest; imageBytes is the length of the image it saves.
std::string ManifestText(const HistoryEntry& entry, std::size_t imageBytes);
// Reads a manifest's text into entry; false when it is not one this history
// wrote whole (no kind, no hashes).
bool ParseManifest(const std::string& text, HistoryEntry& entry);

// The image before the first pass of a history, kept for good: the entry it
// was saved before and its hash.
struct BaselineRecord {
  std::string entry;  // the entry's name
  std::uint64_t sequence = 0;
  std::string time;  // the entry's time, "2026-12-09 10:15:00"
  std::string sha256;
  std::int64_t imageBytes = -1;

  // "the image before entry #1 of its history (2026-12-09 10:15:00 UTC)"
  std::string Describe() const;
};
std::string BaselineText(const BaselineRecord& record);
bool ParseBaseline(const std::string& text, BaselineRecord& record);

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_HISTORYMANIFEST_H_
