// Runs the main window's modal parts on the screen with Qt's own modal loops:
// what the program uses outside the tests. Holds no state.
#ifndef TRIMWRIGHT_GUI_QTDIALOGSERVICES_H_
#define TRIMWRIGHT_GUI_QTDIALOGSERVICES_H_

#include "gui/DialogServices.h"

namespace trimwright {

class QtDialogServices : public DialogServices {
 public:
  int RunModal(QDialog& dialog) override;
  std::optional<QString> RunFileChooser(QFileDialog& chooser) override;
  QAction* RunMenu(QMenu& menu, const QPoint& globalPos) override;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_QTDIALOGSERVICES_H_
