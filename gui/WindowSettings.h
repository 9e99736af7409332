// What the main window remembers from one start to the next: the two number
// fields, the limits of its passes and the folders its choosers last used,
// kept in the QSettings it is given (none: nothing is remembered). It holds
// nothing of its own; the QSettings must outlive it.
#ifndef TRIMWRIGHT_GUI_WINDOWSETTINGS_H_
#define TRIMWRIGHT_GUI_WINDOWSETTINGS_H_

#include <QString>
#include <QStringList>

#include "calibration/PassLimits.h"

class QSettings;

namespace trimwright {

class WindowSettings {
 public:
  // The choosers' folders.
  static const QString kLogFolder;
  static const QString kImageFolder;

  explicit WindowSettings(QSettings* settings) : settings_(settings) {}

  // The field texts stored, or the texts given when none are.
  QString TargetBlm(const QString& otherwise) const;
  QString RpmLimit(const QString& otherwise) const;
  // Stores the two field texts.
  void SaveFields(const QString& targetBlm, const QString& rpmLimit);

  // The limits stored, read as the command line reads them; a stored value
  // that is not one (edited by hand, or from an older version) is left
  // unused and described in ignored.
  PassLimits Limits(QStringList& ignored) const;
  void SaveLimits(const PassLimits& limits);

  // The folder stored under key, empty when none is.
  QString Folder(const QString& key) const;
  void SaveFolder(const QString& key, const QString& folder);

 private:
  QSettings* settings_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_WINDOWSETTINGS_H_
