// Runs the main window's modal parts on the screen with Qt's own modal loops:
// what the program uses outside the tests. Holds no state.
#ifndef TRIMWRIGHT_APP_QTDIALOGSERVICES_H_
#define TRIMWRIGHT_APP_QTDIALOGSERVICES_H_

#include "app/DialogServices.h"

namespace trimwright {

class QtDialogServices : public DialogServices {
 public:
  int RunModal(QDialog& dialog) override;
  std::optional<QString> RunFileChooser(QFileDialog& chooser) override;
  QAction* RunMenu(QMenu& menu, const QPoint& globalPos) override;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_QTDIALOGSERVICES_H_
