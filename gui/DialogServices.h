// The modal parts of the main window (file choosers, message boxes, the About
// box and the context menu) run through this interface, so that tests can
// answer them without a display and without blocking. The window builds each
// dialog or menu itself and only hands over the running of it.
// QtDialogServices runs them for real.
#ifndef TRIMWRIGHT_GUI_DIALOGSERVICES_H_
#define TRIMWRIGHT_GUI_DIALOGSERVICES_H_

#include <QString>
#include <optional>

class QAction;
class QDialog;
class QFileDialog;
class QMenu;
class QPoint;

namespace trimwright {

class DialogServices {
 public:
  virtual ~DialogServices() = default;

  // Runs dialog modally and returns its result code once it is closed.
  virtual int RunModal(QDialog& dialog) = 0;

  // Runs chooser modally; returns the full path of the chosen file, or
  // nothing when the user cancelled.
  virtual std::optional<QString> RunFileChooser(QFileDialog& chooser) = 0;

  // Pops up menu at globalPos and returns the action the user chose, or
  // nullptr when the menu was dismissed. The action belongs to menu.
  virtual QAction* RunMenu(QMenu& menu, const QPoint& globalPos) = 0;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_DIALOGSERVICES_H_
