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
  // Files named on the command line (a file manager passes them so) are
  // taken as if chosen, once the window is up.
  const QStringList files = QApplication::arguments().mid(1);
  if (!files.isEmpty()) {
    QMetaObject::invokeMethod(
        &dialog, [&dialog, files] { dialog.OpenFiles(files); }, Qt::QueuedConnection);
  }
  dialog.exec();
  return 0;
}

}  // namespace trimwright
