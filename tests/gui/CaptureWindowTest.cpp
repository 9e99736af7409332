// The capture window on Qt's offscreen platform against the simulated engine
// computer on a pseudo-terminal: a drive captured with real clicks, the
// cells counted as the log holds them, the log in the main window's field
// and a pass previewed on it; every way of ending a capture leaving a whole
// log; the refusals and failures in the core's words; the device choice and
// the keyboard.
#include <QComboBox>
#include <QRegularExpression>
#include <QThread>
#include <array>

#include "gui/CaptureWindow.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/support/SimulatorProcess.h"

namespace trimwright {

using namespace guitest;

namespace {

const std::string kSimulator = TRIMWRIGHT_SIMULATE_ECU_PATH;
constexpr int kWaitMs = 10000;

// The lines of text; a last line without its line feed fails the test.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start != text.size()) lines.push_back("(a part of a line)");
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t end; (end = line.find(',', start)) != std::string::npos; start = end + 1) {
    fields.push_back(line.substr(start, end - start));
  }
  fields.push_back(line.substr(start));
  return fields;
}

// The main window holding an image, with its capture window opened from
// its menu, and the simulated engine computer (when asked for) logging
// every frame it sent whole to sent.
struct Capture {
  explicit Capture(bool withSimulator = true) {
    if (withSimulator)
      simulator.emplace(kSimulator, std::vector<std::string>{"--fast", "--log", sent});
    tools::WriteFile(dir.File("car.bin"), ImageBytes());
    services.answers = {Q(dir.File("car.bin"))};
    dialog = std::make_unique<TunerDialog>(services);
    dialog->show();
    Click(*dialog, IDC_CHOOSE_PCM);
    services.menuChoice = QStringLiteral("&Capture a drive...");
    QLabel* label = LabelWithText(*dialog, QStringLiteral("PCM file"));
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(2, 2),
                                 label->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(label, &rightClick);
    window = dialog->captureWindow();
    if (!window || !QTest::qWaitForWindowExposed(window)) throw std::runtime_error("no window");
    QObject::connect(&window->runner(), &CaptureRunner::statusChanged,
                     [this](const CaptureStatus& status) {
                       onGuiThread = onGuiThread && QThread::currentThread() == qApp->thread();
                       ++statuses;
                       lastElapsed = status.elapsed;
                     });
  }

  void TypeDevice(const std::string& path) {
    QLineEdit* edit = window->deviceChoice()->lineEdit();
    edit->clear();
    QTest::keyClicks(edit, Q(path));
  }

  // Starts capturing into log with a click on Start.
  void Start(const std::string& into) {
    TypeDevice(simulator->device());
    services.answers = {Q(into)};
    QTest::mouseClick(window->startButton(), Qt::LeftButton);
  }

  std::uint64_t RecordsShown() const {
    return window->valueLabel(CaptureWindow::kRecords)->text().toULongLong();
  }

  // Every line of the log at path is whole and the same as the engine
  // computer's line of the same frame.
  void CheckLogIsWhatWasSent(const std::string& path) {
    const std::vector<std::string> lines = Lines(tools::ReadFile(path));
    const std::vector<std::string> all = Lines(tools::ReadFile(sent));
    QVERIFY(lines.size() >= 2 && lines.size() <= all.size());
    QVERIFY(std::equal(lines.begin(), lines.end(), all.begin()));
  }

  // The window shows the records of the log at path: their count, and per
  // cell the records and both BLMs' averages, the last record's cell marked.
  void CheckCellsShowTheLog(const std::string& path) {
    const std::vector<std::string> lines = Lines(tools::ReadFile(path));
    QVERIFY(lines.size() >= 2);
    std::array<CellTally, CaptureStatus::kCells> expected{};
    for (std::size_t k = 1; k < lines.size(); ++k) {
      const std::vector<std::string> f = Fields(lines[k]);
      CellTally& cell = expected.at(std::stoul(f.at(8)));
      cell.blmLeftAverage += std::stod(f.at(9));
      cell.blmRightAverage += std::stod(f.at(10));
      ++cell.records;
    }
    const CaptureCellsModel& model = window->cellsModel();
    for (int number = 0; number < CaptureStatus::kCells; ++number) {
      const CellTally& cell = expected[static_cast<std::size_t>(number)];
      QCOMPARE(model.Cell(number).records, cell.records);
      if (cell.records == 0) continue;
      const auto records = static_cast<double>(cell.records);
      QCOMPARE(model.Cell(number).blmLeftAverage, cell.blmLeftAverage / records);
      QCOMPARE(model.Cell(number).blmRightAverage, cell.blmRightAverage / records);
    }
    QCOMPARE(RecordsShown(), lines.size() - 1);
    QCOMPARE(model.currentCell(), std::stoi(Fields(lines.back()).at(8)));
  }

  TempDir dir;
  std::string sent = dir.File("sent.csv");
  std::optional<testing::Simulator> simulator;
  CapturedOutput output;
  ScriptedServices services;
  std::unique_ptr<TunerDialog> dialog;
  CaptureWindow* window = nullptr;
  bool onGuiThread = true;
  int statuses = 0;
  std::chrono::milliseconds lastElapsed{0};
};

}  // namespace

class CaptureWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QApplication::setApplicationName(QString::fromLatin1(TunerApp::kApplicationName));
  }

  void capturesADriveAndPreviewsAPassOnIt() {
    Capture capture;
    CaptureWindow& window = *capture.window;
    const std::string log = capture.dir.File("drive.csv");
    QVERIFY(window.startButton()->isEnabled() && !window.stopButton()->isEnabled());
    capture.Start(log);
    QVERIFY(window.capturing());
    QVERIFY(!window.startButton()->isEnabled() && window.stopButton()->isEnabled());
    QVERIFY(!window.deviceChoice()->isEnabled());
    // The new log's chooser proposed a name of the time, in the home folder
    // (no log folder is remembered, no log held).
    QCOMPARE(capture.services.proposedNames.size(), 1);
    QVERIFY(QRegularExpression(QStringLiteral("^drive-\\d{8}-\\d{6}\\.csv$"))
                .match(capture.services.proposedNames[0])
                .hasMatch());
    QCOMPARE(capture.services.chooserFolders.last(), QDir::homePath());
    // The cells fill while it runs.
    QTRY_VERIFY_WITH_TIMEOUT(capture.RecordsShown() >= 40 && capture.statuses >= 3, kWaitMs);
    QVERIFY(window.stateLabel()->text().contains(Q(capture.simulator->device())));
    QTest::mouseClick(window.stopButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!window.capturing(), kWaitMs);
    QVERIFY(window.startButton()->isEnabled() && !window.stopButton()->isEnabled());
    capture.CheckLogIsWhatWasSent(log);
    capture.CheckCellsShowTheLog(log);
    // The status came on the window's thread, at most four times a second.
    QVERIFY(capture.onGuiThread);
    QVERIFY2(
        capture.statuses <= capture.lastElapsed.count() / 250 + 1,
        qPrintable(
            QStringLiteral("%1 in %2 ms").arg(capture.statuses).arg(capture.lastElapsed.count())));
    QCOMPARE(Field(*capture.dialog, IDC_LOG_PATH)->text(), Q(log));
    QCOMPARE(capture.dialog->logPath(), log);
    QCOMPARE(capture.dialog->pcmPath(), capture.dir.File("car.bin"));
    QVERIFY(capture.services.events.isEmpty());

    Click(*capture.dialog, IDC_PREVIEW);
    QVERIFY(capture.dialog->passWindow());
    QVERIFY2(capture.dialog->passWindow()->summaryLabel()->text().contains(
                 QStringLiteral("Records: %1 read: ").arg(capture.RecordsShown())),
             qPrintable(capture.dialog->passWindow()->summaryLabel()->text()));
    QVERIFY(capture.dialog->passWindow()->applyButton()->isEnabled());

    // A second drive starts from empty cells and takes the field in turn.
    const std::string second = capture.dir.File("second.csv");
    capture.Start(second);
    QTRY_VERIFY_WITH_TIMEOUT(capture.RecordsShown() >= 10, kWaitMs);
    QTest::mouseClick(window.stopButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!window.capturing(), kWaitMs);
    capture.CheckCellsShowTheLog(second);
    QCOMPARE(capture.dialog->logPath(), second);
  }
};

}  // namespace trimwright

QTEST_MAIN(trimwright::CaptureWindowTest)
#include "CaptureWindowTest.moc"
