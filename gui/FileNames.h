// A file's name between the window and the file system: Qt's text on the
// screen, the system's bytes below it (the locale's encoding, as QFile
// reads and writes names), so that any name a chooser returns opens.
#ifndef TRIMWRIGHT_GUI_FILENAMES_H_
#define TRIMWRIGHT_GUI_FILENAMES_H_

#include <QFile>
#include <QString>
#include <string>

namespace trimwright {

inline QString FromFileSystem(const std::string& path) { return QFile::decodeName(path.c_str()); }

inline std::string ToFileSystem(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_FILENAMES_H_
