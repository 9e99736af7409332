// Runs the main window's modal parts on the screen with Qt's own modal loops:
// what the program uses outside the tests. Owns the settings it hands out.
#ifndef TRIMWRIGHT_GUI_QTDIALOGSERVICES_H_
#define TRIMWRIGHT_GUI_QTDIALOGSERVICES_H_

#include <memory>

#include "gui/DialogServices.h"

namespace trimwright {

class QtDialogServices : public DialogServices {
 public:
  QtDialogServices();
  ~QtDialogServices() override;

  int RunModal(QDialog& dialog) override;
  std::optional<QString> RunFileChooser(QFileDialog& chooser) override;
  std::optional<QStringList> RunFilesChooser(QFileDialog& chooser) override;
  // The user's settings of the program (QSettings' native place).
  QSettings* Settings() override;
  QAction* RunMenu(QMenu& menu, const QPoint& globalPos) override;

 private:
  std::unique_ptr<QSettings> m_settings;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_QTDIALOGSERVICES_H_
