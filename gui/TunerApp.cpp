#include "gui/TunerApp.h"

#include "common/Version.h"
#include "gui/AppIcon.h"
#include "gui/TunerDialog.h"

namespace trimwright {

namespace {

// The name of the installed desktop entry, without .desktop: Wayland desktops
// find the window's icon and menu entry by it.
constexpr char kDesktopFileName[] = "org.trimwright.Trimwright";

}  // namespace

TunerApp::TunerApp(int& argc, char** argv) : application_(argc, argv) {
  QApplication::setApplicationName(QString::fromLatin1(kApplicationName));
  QApplication::setApplicationVersion(QString::fromLatin1(kVersion));
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
  QApplication::setWindowIcon(AppIcon::Create());
}

int TunerApp::InitInstance() {
  TunerDialog dialog;
  dialog.exec();
  return 0;
}

}  // namespace trimwright
