// The rules that read a file name: its extension (which FileFormats turns into
// a reader or an image class), the file a link leads to, and the report name
// derived from the calibration image's path.
#ifndef TRIMWRIGHT_APP_PATHRULES_H_
#define TRIMWRIGHT_APP_PATHRULES_H_

#include <filesystem>
#include <string>

namespace trimwright {

// The text after the last "." anywhere in path, up to its end. A "." in a
// folder name counts when the file name has none, so the extension then holds
// the rest of the path and matches no known type. Empty when path holds no
// "." or ends in one.
std::string FileExtension(const std::string& path);

// The file path names once symbolic links at its end are followed: a link
// to an image leads to the image, so that the image keeps one history
// whatever name reached it. A relative link target is taken relative to the
// link's folder. path itself when it is no link (or the links loop).
std::string FollowLinks(const std::string& path);

// The absolute form of path with every link and ".." resolved as far as the
// path exists, the rest as written, normalised.
std::filesystem::path ResolvedPath(const std::string& path);

// True when a and b name the same file: the same file on disk (through any
// link or hard link) or, where they do not exist yet, the same resolved path.
bool SameFile(const std::string& a, const std::string& b);

// The text of pcmPath before its last "." (all of it when it holds none)
// followed by "_trw.txt".
std::string DeriveLogfileName(const std::string& pcmPath);

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_PATHRULES_H_
