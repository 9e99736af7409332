// The modal parts of the main window (file choosers, message boxes, the About
// box and the context menu) run through this interface, so that tests can
// answer them without a display and without blocking. The window builds each
// dialog or menu itself and only hands over the running of it.
// QtDialogServices runs them for real.
#ifndef TRIMWRIGHT_GUI_DIALOGSERVICES_H_
#define TRIMWRIGHT_GUI_DIALOGSERVICES_H_

#include <QString>
#include <QStringList>
#include <optional>

class QAction;
class QDialog;
class QFileDialog;
class QMenu;
class QPoint;
class QSettings;

namespace trimwright {

class DialogServices {
 public:
  virtual ~DialogServices() = default;

  // Runs dialog modally and returns its result code once it is closed.
  virtual int RunModal(QDialog& dialog) = 0;

  // Runs chooser modally; returns the full path of the chosen file, or
  // nothing when the user cancelled.
  virtual std::optional<QString> RunFileChooser(QFileDialog& chooser) = 0;

  // Runs a chooser that may return several files; by default the one file
  // RunFileChooser returns.
  virtual std::optional<QStringList> RunFilesChooser(QFileDialog& chooser) {
    std::optional<QString> one = RunFileChooser(chooser);
    if (!one) return std::nullopt;
    return QStringList{*one};
  }

  // Where the window keeps what it remembers from one start to the next, or
  // nullptr to remember nothing (the default, and what tests use).
  virtual QSettings* Settings() { return nullptr; }

  // Pops up menu at globalPos and returns the action the user chose, or
  // nullptr when the menu was dismissed. The action belongs to menu.
  virtual QAction* RunMenu(QMenu& menu, const QPoint& globalPos) = 0;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_DIALOGSERVICES_H_
