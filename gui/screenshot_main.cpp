// Saves a picture of the main window as it looks at start, drawn by Qt from
// the real widgets, to the PNG file named on the command line. Run it with
// QT_QPA_PLATFORM=offscreen to need no display (scripts/screenshot does).
#include <QApplication>
#include <QPixmap>
#include <cstdio>

#include "gui/AppIcon.h"
#include "gui/TunerApp.h"
#include "gui/TunerDialog.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  QApplication::setApplicationName(QString::fromLatin1(trimwright::TunerApp::kApplicationName));
  QApplication::setWindowIcon(trimwright::AppIcon::Create());

  trimwright::TunerDialog dialog;
  dialog.show();
  QApplication::processEvents();
  if (!dialog.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}
