// The VE cells a tuner locked on one calibration image, so that no pass from
// either front end changes them until they are unlocked. The locks belong to
// the image file (whatever link reached it) and live in its history folder
// as locks.txt, replaced as a whole the way the history writes its entries:
// a temporary file, synced, renamed over the old one. Static operations
// only; it keeps nothing.
#ifndef TRIMWRIGHT_APP_CELLLOCKS_H_
#define TRIMWRIGHT_APP_CELLLOCKS_H_

#include <string>
#include <vector>

#include "calibration/CellRange.h"
#include "common/FileSystem.h"

namespace trimwright {

class CellLocks {
 public:
  static constexpr char kFileName[] = "locks.txt";

  // The path of the locks file of the image at imagePath.
  static std::string PathFor(const std::string& imagePath);

  // The locked cells of the image, ascending; none when it has no locks
  // file. Throws TrimwrightError (status kFileOrMemory) when the file cannot
  // be read or is damaged: a pass must not tune a cell the tuner locked
  // because the record of the lock could not be read.
  // REQUIRES: the image's lock is held, shared or exclusive.
  static std::vector<GridCell> Read(const std::string& imagePath);

  // Stores cells (ascending) as the image's locks, writing through
  // fileSystem. Throws TrimwrightError when that fails; the locks stored
  // before stay then.
  // REQUIRES: the image's exclusive lock is held.
  static void Store(const std::string& imagePath, const std::vector<GridCell>& cells,
                    FileSystem& fileSystem = FileSystem::Default());

  // locked with the cells of lock added and those of unlock taken away,
  // ascending.
  static std::vector<GridCell> Changed(const std::vector<GridCell>& locked,
                                       const std::vector<GridCell>& lock,
                                       const std::vector<GridCell>& unlock);

  // The locks of the image as text, one rpm row a line.
  static std::string Listing(const std::string& imagePath, const std::vector<GridCell>& cells);

  // Reads the locks under the image's shared lock.
  static std::vector<GridCell> ReadLocked(const std::string& imagePath);

  // Adds lock and takes away unlock under the image's exclusive lock and
  // stores the result when it differs (stored, when given, says whether it
  // did); returns the locks now in force. Throws TrimwrightError, storing
  // nothing, when imagePath names no image format, the image cannot be
  // opened or locked, or the locks cannot be read or written.
  static std::vector<GridCell> Change(const std::string& imagePath,
                                      const std::vector<GridCell>& lock,
                                      const std::vector<GridCell>& unlock, bool* stored = nullptr,
                                      FileSystem& fileSystem = FileSystem::Default());
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_CELLLOCKS_H_
