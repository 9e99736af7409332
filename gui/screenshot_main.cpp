// Saves pictures of the program's windows, drawn by Qt from the real widgets:
// the main window as it looks at a first start (not with the numbers and
// limits the user's settings remember) to the first PNG file named, and, when
// a second file, a log and an image follow, the pass window previewing a pass
// of that log over that image (a dry run: the image is not written), and when
// a third file follows, the same window with its Records tab shown and one VE
// cell's records marked. Run it with QT_QPA_PLATFORM=offscreen to need no
// display (scripts/screenshot does). Two more forms draw the pictures of a
// tuning session:
//   --progress PNG IMAGE   the chart of IMAGE's progress across its passes
//   --compare PNG A B      the compare window, A against B (IMAGE@N allowed)
#include <QApplication>
#include <QPixmap>
#include <QTabWidget>
#include <cstdio>
#include <sstream>

#include "app/ImageCompare.h"
#include "app/PassProgress.h"
#include "app/TuningRun.h"
#include "common/TrimwrightError.h"
#include "gui/AppIcon.h"
#include "gui/CompareWindow.h"
#include "gui/PassWindow.h"
#include "gui/ProgressChart.h"
#include "gui/ProgressModel.h"
#include "gui/QtDialogServices.h"
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

// The window as it looks at a first start: the user's remembered numbers
// and limits are not read.
class FirstStartServices : public trimwright::QtDialogServices {
 public:
  QSettings* Settings() override { return nullptr; }
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
  const std::string mode = argc > 1 ? argv[1] : "";
  if ((mode == "--progress" && argc == 4) || (mode == "--compare" && argc == 5)) {
    try {
      if (mode == "--progress") {
        trimwright::ProgressModel model;
        model.SetProgress(trimwright::ReadProgress(argv[3]));
        trimwright::ProgressChart chart(model);
        chart.resize(900, 520);
        return Save(chart, argv[2]) ? 0 : 1;
      }
      trimwright::CompareWindow compare;
      compare.ShowComparison(trimwright::CompareImages(argv[3], argv[4]));
      compare.resize(1000, 720);
      return Save(compare, argv[2]) ? 0 : 1;
    } catch (const trimwright::TrimwrightError& error) {
      std::fprintf(stderr, "%s\n", error.what());
      return 1;
    }
  }
  if (argc != 2 && argc != 5 && argc != 6) {
    std::fprintf(stderr,
                 "usage: %s WINDOW.png [PASS.png LOGFILE IMAGE [RECORDS.png]]\n"
                 "       %s --progress PNG IMAGE\n"
                 "       %s --compare PNG A B\n",
                 argv[0], argv[0], argv[0]);
    return 2;
  }
  QApplication::setApplicationName(QString::fromLatin1(trimwright::TunerApp::kApplicationName));
  QApplication::setWindowIcon(trimwright::AppIcon::Create());

  FirstStartServices services;
  trimwright::TunerDialog dialog(services);
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
  pass.resize(trimwright::PassWindow::kWantedSize);
  if (!Save(pass, argv[2])) return 1;
  if (argc == 5) return 0;
  pass.tabs()->setCurrentWidget(pass.recordsView());
  // As when the mouse rests on the VE cell of 1600 rpm and 50 kPa.
  pass.recordsView()->HighlightCell(6, 6);
  return Save(pass, argv[5]) ? 0 : 1;
}
