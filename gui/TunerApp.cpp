#include "gui/TunerApp.h"

#include "common/Version.h"
#include "gui/AppIcon.h"
#include "gui/TunerDialog.h"

namespace trimwright {

TunerApp::TunerApp(int& argc, char** argv) : application_(argc, argv) {
  QApplication::setApplicationName(QString::fromLatin1(kApplicationName));
  QApplication::setApplicationVersion(QString::fromLatin1(kVersion));
  QApplication::setWindowIcon(AppIcon::Create());
}

int TunerApp::InitInstance() {
  TunerDialog dialog;
  dialog.exec();
  return 0;
}

}  // namespace trimwright
