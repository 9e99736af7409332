#include "app/TunerApp.h"

#include "app/AppIcon.h"
#include "app/TunerDialog.h"

namespace trimwright {

TunerApp::TunerApp(int& argc, char** argv) : application_(argc, argv) {
  QApplication::setApplicationName(QString::fromLatin1(kApplicationName));
  QApplication::setApplicationVersion(QStringLiteral("1.33"));
  QApplication::setWindowIcon(AppIcon::Create());
}

int TunerApp::InitInstance() {
  TunerDialog dialog;
  dialog.exec();
  return 0;
}

}  // namespace trimwright
