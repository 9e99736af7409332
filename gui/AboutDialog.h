// The About box: the application's icon, the name with its version and an OK
// button that closes it. It lives only while the main window runs it modally.
#ifndef TRIMWRIGHT_GUI_ABOUTDIALOG_H_
#define TRIMWRIGHT_GUI_ABOUTDIALOG_H_

#include <QDialog>

namespace trimwright {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  // parent, when given, only places the box over it and must outlive it.
  explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_ABOUTDIALOG_H_
