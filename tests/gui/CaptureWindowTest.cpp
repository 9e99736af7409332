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

// Makes window the active one at once, as a window system does when a
// modal window closes (the offscreen platform's requests take their time).
void Activate(QWidget* window) {
  QT_WARNING_PUSH
  QT_WARNING_DISABLE_DEPRECATED
  QApplication::setActiveWindow(window);
  QT_WARNING_POP
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
    // The new log's chooser proposed a name of the time, beside the image
    // (no log folder is remembered, no log held).
    QCOMPARE(capture.services.proposedNames.size(), 1);
    QVERIFY(QRegularExpression(QStringLiteral("^drive-\\d{8}-\\d{6}\\.csv$"))
                .match(capture.services.proposedNames[0])
                .hasMatch());
    QCOMPARE(capture.services.chooserFolders.last(), Q(capture.dir.File("")).chopped(1));
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
    // The cells' bands are named as the pass names them, from the image.
    const QAbstractItemModel& trims = *capture.dialog->passWindow()->trimView()->model();
    for (int section = 0; section < 4; ++section) {
      for (const Qt::Orientation side : {Qt::Horizontal, Qt::Vertical}) {
        QCOMPARE(window.cellsModel().headerData(section, side).toString(),
                 trims.headerData(section, side).toString());
      }
    }

    // A second drive starts from empty cells and takes the field in turn.
    const std::string second = capture.dir.File("second.csv");
    capture.Start(second);
    for (int number = 0; number < CaptureStatus::kCells; ++number) {
      QCOMPARE(window.cellsModel().Cell(number).records, std::uint64_t{0});
    }
    QCOMPARE(window.cellsModel().currentCell(), -1);
    QTRY_VERIFY_WITH_TIMEOUT(capture.RecordsShown() >= 10, kWaitMs);
    QTest::mouseClick(window.stopButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!window.capturing(), kWaitMs);
    capture.CheckCellsShowTheLog(second);
    QCOMPARE(capture.dialog->logPath(), second);
  }

  // However a capture ends, the log is whole, each line as the engine
  // computer sent it, the idle traffic resumed, and the log in the field.
  void everyEndLeavesAWholeLogInTheField_data() {
    QTest::addColumn<QString>("how");
    for (const char* how : {"keyboard: Space on Start, Enter on Stop", "Escape", "Close",
                            "close box", "main window's Exit"}) {
      QTest::newRow(how) << QString::fromLatin1(how);
    }
  }
  void everyEndLeavesAWholeLogInTheField() {
    QFETCH(QString, how);
    Capture capture;
    CaptureWindow& window = *capture.window;
    const std::string log = capture.dir.File("drive.csv");
    capture.services.answers = {Q(log)};
    capture.TypeDevice(capture.simulator->device());
    if (how.startsWith("keyboard")) {
      // From the device field, Tab passes Refresh to Start.
      QCOMPARE(QApplication::focusWidget(), window.deviceChoice());
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), window.startButton());
      QTest::keyClick(window.startButton(), Qt::Key_Space);
    } else {
      QTest::mouseClick(window.startButton(), Qt::LeftButton);
    }
    QVERIFY(window.capturing());
    QTRY_VERIFY_WITH_TIMEOUT(capture.RecordsShown() >= 20, kWaitMs);
    if (how.startsWith("keyboard")) {
      QCOMPARE(QApplication::focusWidget(), window.stopButton());
      QTest::keyClick(window.stopButton(), Qt::Key_Return);
      QTRY_VERIFY_WITH_TIMEOUT(!window.capturing(), kWaitMs);
      QVERIFY(window.isVisible());
      QCOMPARE(QApplication::focusWidget(), window.startButton());
    } else if (how == "Escape") {
      QTest::keyClick(&window, Qt::Key_Escape);
    } else if (how == "Close") {
      QPushButton* close = nullptr;
      for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->text() == "Close") close = button;
      }
      QVERIFY(close);
      QTest::mouseClick(close, Qt::LeftButton);
    } else if (how == "close box") {
      window.close();
    } else {
      Click(*capture.dialog, IDC_EXIT);
    }
    // Whatever closed the window waited for the capture's end.
    QVERIFY(!window.capturing());
    QCOMPARE(window.isVisible(), how.startsWith("keyboard"));
    QVERIFY(capture.onGuiThread);
    const std::string said = capture.simulator->Finish();
    QVERIFY2(said.find("idle traffic stopped\nidle traffic resumed\n") != std::string::npos,
             said.c_str());
    capture.CheckLogIsWhatWasSent(log);
    capture.CheckCellsShowTheLog(log);
    QCOMPARE(capture.dialog->logPath(), log);
    QCOMPARE(Field(*capture.dialog, IDC_LOG_PATH)->text(), Q(log));
    QVERIFY(capture.services.events.isEmpty());
  }

  // What the window refuses before a capture, and captures that fail, in
  // the core's words; the log field keeps what it held, and no log is left.
  void refusalsAndFailuresSayTheCoresWords_data() {
    QTest::addColumn<QString>("device");  // in the test's folder; "" for none
    QTest::addColumn<QString>("log");     // the chooser's answer; "" cancels
    QTest::addColumn<QString>("event");   // %1 the device, %2 the log
    QTest::newRow("no device") << ""
                               << ""
                               << "message Choose the device to capture from, or type its path.";
    QTest::newRow("chooser cancelled") << "ttyUSB0"
                                       << ""
                                       << "";
    QTest::newRow("not a .csv") << "ttyUSB0"
                                << "drive.txt"
                                << "message A capture writes a .csv log; its name must end in "
                                   ".csv or .CSV.";
    QTest::newRow("missing device")
        << "ttyUSB9"
        << "drive.csv"
        << "error Unable to open the device %1 (No such file or directory)";
    QTest::newRow("not a terminal") << "plain"
                                    << "drive.csv"
                                    << "error The device %1 is not a terminal device";
    QTest::newRow("existing log")
        << "plain"
        << "earlier.csv"
        << "error The capture log %2 exists already; a capture never overwrites a file";
  }
  void refusalsAndFailuresSayTheCoresWords() {
    QFETCH(QString, device);
    QFETCH(QString, log);
    QFETCH(QString, event);
    Capture capture(false);
    CaptureWindow& window = *capture.window;
    tools::WriteFile(capture.dir.File("plain"), "");
    tools::WriteFile(capture.dir.File("earlier.csv"), "an earlier drive\n");
    const std::string devicePath = device.isEmpty() ? "" : capture.dir.File(device.toStdString());
    const std::string logPath = log.isEmpty() ? "" : capture.dir.File(log.toStdString());
    capture.TypeDevice(devicePath);
    capture.services.answers = {log.isEmpty() ? std::nullopt : std::optional<QString>(Q(logPath))};
    // Started from the keyboard: Enter in the device field presses Start.
    // The chooser takes the keys from the window while it is up, which has
    // them back only after the capture started.
    capture.services.whileChoosing = [main = capture.dialog.get()] { Activate(main); };
    QTest::keyClick(window.deviceChoice()->lineEdit(), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(!window.capturing(), kWaitMs);
    Activate(&window);
    // The keys stay on Start (or the field, where nothing started), not on
    // Close, where the next Enter would close the window.
    const bool started = event.startsWith("error");
    QCOMPARE(QApplication::focusWidget(),
             started ? static_cast<QWidget*>(window.startButton()) : window.deviceChoice());
    QCOMPARE(
        capture.services.events,
        event.isEmpty()
            ? QStringList()
            : QStringList{QString(event).replace("%1", Q(devicePath)).replace("%2", Q(logPath))});
    // The chooser was asked once a device was named.
    QCOMPARE(capture.services.answers.size(), device.isEmpty() ? std::size_t{1} : std::size_t{0});
    QVERIFY(window.startButton()->isEnabled() && !window.stopButton()->isEnabled());
    QVERIFY(window.deviceChoice()->isEnabled());
    QVERIFY(capture.dialog->logPath().empty());
    QVERIFY(Field(*capture.dialog, IDC_LOG_PATH)->text().isEmpty());
    QVERIFY(!std::filesystem::exists(capture.dir.File("drive.csv")));
    QCOMPARE(tools::ReadFile(capture.dir.File("earlier.csv")), std::string("an earlier drive\n"));
  }

  // A device lost mid-capture ends it with the core's words, which say
  // where the records before are; that log, whole, goes to the field.
  void aDeviceLostMidCaptureKeepsItsRecords() {
    Capture capture;
    CaptureWindow& window = *capture.window;
    const std::string log = capture.dir.File("drive.csv");
    capture.Start(log);
    QTRY_VERIFY_WITH_TIMEOUT(capture.RecordsShown() >= 20, kWaitMs);
    capture.simulator->Finish(SIGKILL);
    QTRY_VERIFY_WITH_TIMEOUT(!window.capturing(), kWaitMs);
    capture.CheckCellsShowTheLog(log);
    QCOMPARE(capture.services.events.size(), 1);
    const QString event = capture.services.events[0];
    QVERIFY2(event.startsWith("error The device " + Q(capture.simulator->device()) + " hung up"),
             qPrintable(event));
    QVERIFY2(event.endsWith(QStringLiteral("; the %1 records captured before are in %2")
                                .arg(capture.RecordsShown())
                                .arg(Q(log))),
             qPrintable(event));
    QCOMPARE(capture.dialog->logPath(), log);
  }

  // The ports listed, by-id names with their targets; a typed path taken as
  // typed and kept when the list is made again; Enter in the field presses
  // Start and adds nothing to the list; Tab walks the buttons.
  void devicesListedOrTypedAndTheKeys() {
    Capture capture(false);
    CaptureWindow& window = *capture.window;
    QComboBox& choice = *window.deviceChoice();
    window.ShowPorts({{"/dev/serial/by-id/usb-cable-port0", "/dev/ttyUSB0"}, {"/dev/ttyS0", ""}});
    QCOMPARE(choice.count(), 2);
    QCOMPARE(choice.itemText(0),
             QStringLiteral("/dev/serial/by-id/usb-cable-port0  \u2192 /dev/ttyUSB0"));
    QCOMPARE(choice.itemText(1), QStringLiteral("/dev/ttyS0"));
    choice.setCurrentIndex(0);
    QCOMPARE(window.DevicePath(), std::string("/dev/serial/by-id/usb-cable-port0"));
    choice.setCurrentIndex(1);
    QCOMPARE(window.DevicePath(), std::string("/dev/ttyS0"));
    capture.TypeDevice("/dev/pts/97");
    QCOMPARE(window.DevicePath(), std::string("/dev/pts/97"));
    window.ShowPorts({{"/dev/ttyACM0", ""}});
    QCOMPARE(window.DevicePath(), std::string("/dev/pts/97"));

    capture.services.answers = {std::nullopt};
    QTest::keyClick(choice.lineEdit(), Qt::Key_Return);
    QVERIFY(capture.services.answers.empty());  // Start asked for the log
    QCOMPARE(choice.count(), 1);
    QCOMPARE(window.DevicePath(), std::string("/dev/pts/97"));

    QList<QWidget*> order;
    choice.lineEdit()->setFocus();
    for (int step = 0; step < 5; ++step) {
      order << QApplication::focusWidget();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order.size(), 5);
    QCOMPARE(order[0], &choice);
    QCOMPARE(qobject_cast<QPushButton*>(order[1])->text(), QStringLiteral("&Refresh"));
    QCOMPARE(order[2], window.startButton());  // Stop is off: passed by
    QCOMPARE(qobject_cast<QPushButton*>(order[3])->text(), QStringLiteral("Close"));
    QCOMPARE(order[4], &choice);
  }
};

}  // namespace trimwright

QTEST_MAIN(trimwright::CaptureWindowTest)
#include "CaptureWindowTest.moc"
