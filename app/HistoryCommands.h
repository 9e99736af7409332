// What a front end does with the history of an image outside a pass: list
// it, and undo the newest pass not yet undone. Both open the image by path
// and lock it for their own length; they keep nothing.
#ifndef TRIMWRIGHT_APP_HISTORYCOMMANDS_H_
#define TRIMWRIGHT_APP_HISTORYCOMMANDS_H_

#include <optional>
#include <string>

#include "app/PassHistory.h"
#include "app/RunRequest.h"
#include "common/FileSystem.h"

namespace trimwright {

// The pass an undo would put back, and how the image stands to it.
struct UndoCandidate {
  HistoryEntry pass;
  bool imageAsLeft = false;  // the image is still exactly as the pass left it
  std::string difference;    // what differs when it is not
};

// The newest pass of the image at imagePath not yet undone, or nothing when
// none is left. Takes the image's shared lock; changes nothing. Throws
// TrimwrightError when the image or its history cannot be read, a run holds
// it, or a damaged entry is newer than that pass.
std::optional<UndoCandidate> NewestPassToUndo(const std::string& imagePath);

// What the limits object of a pass's stored plan (its JSON text) says, in a
// tuner's words: the limits ("none" without any; "unknown" when the text is
// not an object), and the locks it held (empty without any).
struct StoredLimits {
  std::string limits;
  std::string locks;
};
StoredLimits DescribeStoredLimits(const std::string& limitsJson);

// One line naming a pass: its number, time and logs.
std::string DescribePass(const HistoryEntry& entry);

// The history of the image at imagePath as text, newest entry first: when,
// which logs, target BLM, rpm limit, cells changed, the limits and locks a
// pass ran with (from the plan its entry stored), and whether the image is
// still as that entry left it. Takes the image's shared lock. Throws
// TrimwrightError when the image cannot be read or a run holds it.
std::string HistoryListing(const std::string& imagePath);

// Puts back the image as it was before the newest pass not yet undone, under
// the image's exclusive lock, with one synced write of the bytes that differ,
// and records the undo as an entry of its own (holding the image before the
// undo). Refuses when the image is not as that pass left it or a damaged
// history entry is newer than that pass, unless force (which skips damaged
// entries and says so). A write that fails is taken back where it can be;
// where it cannot, the message says what the image holds and which entry
// puts it back. Every write goes through fileSystem.
// Returns how it ended and the message to show: completed, or ended early
// when no pass is left to undo. Throws TrimwrightError for a refusal or a
// file error; the image is unchanged then.
struct UndoResult {
  RunOutcome outcome = RunOutcome::kEndedEarly;
  std::string message;
};
UndoResult UndoLastPass(const std::string& imagePath, bool force, int keepHistory,
                        FileSystem& fileSystem = FileSystem::Default());

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_HISTORYCOMMANDS_H_
