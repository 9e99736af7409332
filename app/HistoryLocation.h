// Where the history of an image lives. It belongs to the image file, not to
// the name that reached it: symbolic links are followed, and a file with
// several names (hard links) finds the history one of its other names
// already has, beside that name or where the file itself records it.
// Free functions; they keep nothing.
#ifndef TRIMWRIGHT_APP_HISTORYLOCATION_H_
#define TRIMWRIGHT_APP_HISTORYLOCATION_H_

#include <string>

namespace trimwright {

// The history folder of the image at imagePath: NAME.history beside the
// file its links lead to when that folder exists; else, for a file with
// other names, the history of one of them (beside it in the same folder, or
// the one the file records, when that one's image is this file); else
// NAME.history, for a history yet to be made. Throws TrimwrightError when
// the file records a history that cannot be matched to it from this name.
std::string HistoryFolderFor(const std::string& imagePath);

// Records on the image file (an extended attribute, where the file system
// keeps them) which history folder is its own, so that a name of the file
// in another folder finds it. Best effort: nothing is said when the record
// cannot be kept.
void RecordHistoryFolder(const std::string& imagePath, const std::string& folder);

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_HISTORYLOCATION_H_
