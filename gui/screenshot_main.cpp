// Saves pictures of the program's windows, drawn by Qt from the real widgets:
// the main window as it looks at start to the first PNG file named, and, when
// a second file, a log and an image follow, the pass window previewing a pass
// of that log over that image (a dry run: the image is not written), and when
// a third file follows, the same window with its Records tab shown and one VE
// cell's records marked. Run it
// with QT_QPA_PLATFORM=offscreen to need no display (scripts/screenshot does).
#include <QApplication>
#include <QPixmap>
#include <QTabWidget>
#include <cstdio>
#include <sstream>

#include "app/TuningRun.h"
#include "gui/AppIcon.h"
#include "gui/PassWindow.h"
#include "gui/RecordScatterView.h"
#include "gui/TunerApp.h"
#include "gui/TunerDialog.h"

namespace {

class QuietWindow : public trimwright::RunWindow {
 public:
  void ShowMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  void SetProgress(int) override {}
  void RepaintProgress() override {}
};

bool Save(QWidget& widget, const char* path) {
  widget.show();
  QApplication::processEvents();
  if (widget.grab().save(QString::fromLocal8Bit(path), "PNG")) return true;
  std::fprintf(stderr, "cannot write %s\n", path);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2 && argc != 5 && argc != 6) {
    std::fprintf(stderr, "usage: %s WINDOW.png [PASS.png LOGFILE IMAGE [RECORDS.png]]\n", argv[0]);
    return 2;
  }
  QApplication::setApplicationName(QString::fromLatin1(trimwright::TunerApp::kApplicationName));
  QApplication::setWindowIcon(trimwright::AppIcon::Create());

  trimwright::TunerDialog dialog;
  if (!Save(dialog, argv[1])) return 1;
  if (argc == 2) return 0;

  std::ostringstream lines;
  trimwright::Diagnostics quiet(lines, lines);
  QuietWindow window;
  trimwright::RunRequest request = trimwright::RunRequest::ForOneLog(
      argv[3], argv[4], "", trimwright::RunRequest::kDefaultTargetBlm,
      trimwright::RunRequest::kDefaultRpmLimit);
  request.dryRun = true;
  request.sampleRecords = true;
  const trimwright::RunResult result = trimwright::TuningRun(window, quiet).Perform(request);
  if (!result.plan) {
    std::fprintf(stderr, "the preview did not complete:\n%s", lines.str().c_str());
    return 1;
  }
  trimwright::PassWindow pass;
  pass.ShowPass(*result.plan, true);
  pass.resize(1100, 760);
  if (!Save(pass, argv[2])) return 1;
  if (argc == 5) return 0;
  auto* tabs = pass.findChild<QTabWidget*>();
  if (tabs) tabs->setCurrentWidget(pass.recordsView());
  // As when the mouse rests on the VE cell of 1600 rpm and 50 kPa.
  pass.recordsView()->HighlightCell(6, 6);
  return Save(pass, argv[5]) ? 0 : 1;
}
