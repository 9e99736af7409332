#include "app/TunerApp.h"

#include "app/AppIcon.h"
#include "app/TunerDialog.h"

namespace trimwright {

namespace {

// The name of the installed desktop entry, without .desktop: Wayland desktops
// find the window's icon and menu entry by it.
constexpr char kDesktopFileName[] = "org.trimwright.Trimwright";

}  // namespace

TunerApp::TunerApp(int& argc, char** argv) : application_(argc, argv) {
  QApplication::setApplicationName(QString::fromLatin1(kApplicationName));
  QApplication::setApplicationVersion(QStringLiteral("1.33"));
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
  QApplication::setWindowIcon(AppIcon::Create());
}

int TunerApp::InitInstance() {
  TunerDialog dialog;
  dialog.exec();
  return 0;
}

}  // namespace trimwright
