// The main window on Qt's offscreen platform: its template, tab order and
// keyboard, its choosers and the files handed to it, its menu and its ends.
#include "tests/gui/GuiTestSupport.h"

namespace trimwright {

using namespace guitest;

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QApplication::setApplicationName(QString::fromLatin1(TunerApp::kApplicationName));
  }

  void startsWithDefaultsAndEmptyPaths() {
    ScriptedServices services;
    TunerDialog dialog(services);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));

    QCOMPARE(Field(dialog, IDC_TARGET_BLM)->text(), QStringLiteral("124"));
    QCOMPARE(Field(dialog, IDC_RPM_LIMIT)->text(), QStringLiteral("3000"));
    for (int id : {IDC_LOG_PATH, IDC_PCM_PATH, IDC_LOGFILE})
      QVERIFY(Field(dialog, id)->text().isEmpty());
    QVERIFY(dialog.logPath().empty() && dialog.pcmPath().empty() && dialog.logfileName().empty());
    const auto* progress = qobject_cast<QProgressBar*>(dialog.Control(IDC_PROGRESS));
    QCOMPARE(progress->value(), 0);
    QCOMPARE(progress->maximum(), 100);

    QCOMPARE(dialog.windowTitle(), QStringLiteral("Trimwright 1.33"));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(
        !(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    const QList<QSize> iconSizes = dialog.windowIcon().availableSizes();
    QVERIFY(iconSizes.contains(QSize(16, 16)) && iconSizes.contains(QSize(32, 32)));
    QCOMPARE(QApplication::focusWidget(), dialog.Control(IDC_CHOOSE_LOG));
  }

  // Dialog units to pixels for made-up font metrics: the average width is
  // rounded up from half the width of a pair of letters, and each value is
  // rounded to the nearest pixel, halves up.
  void dialogUnitsRoundLikeTheDialogManager_data() {
    QTest::addColumn<int>("alphabetWidth");
    QTest::addColumn<int>("charHeight");
    QTest::addColumn<QSize>("units");
    QTest::addColumn<QSize>("pixels");
    QTest::newRow("window, 6 by 13") << 312 << 13 << QSize(219, 146) << QSize(329, 237);
    QTest::newRow("window, 7 by 13") << 353 << 13 << QSize(219, 146) << QSize(383, 237);
    QTest::newRow("odd pair width rounds up") << 338 << 16 << QSize(4, 8) << QSize(7, 16);
    QTest::newRow("halves round up") << 312 << 13 << QSize(1, 4) << QSize(2, 7);
  }
  void dialogUnitsRoundLikeTheDialogManager() {
    QFETCH(int, alphabetWidth);
    QFETCH(int, charHeight);
    QFETCH(QSize, units);
    QFETCH(QSize, pixels);
    const DialogUnits dialogUnits(DialogUnits::AverageCharWidth(alphabetWidth), charHeight);
    QCOMPARE(dialogUnits.Size(units.width(), units.height()), pixels);
  }

  // Every control where the template puts it, with its text, and every text
  // fits its control in the dialog font.
  void controlsFollowTheTemplate_data() {
    QTest::addColumn<int>("controlId");  // 0 for a label, found by its text
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("units");
    QTest::newRow("choose log") << IDC_CHOOSE_LOG << "Choose File" << QRect(162, 7, 50, 14);
    QTest::newRow("exit") << IDC_EXIT << "Exit" << QRect(162, 90, 50, 14);
    QTest::newRow("log path") << IDC_LOG_PATH << "" << QRect(59, 7, 95, 14);
    QTest::newRow("log label") << 0 << "logged data file" << QRect(7, 9, 49, 8);
    QTest::newRow("pcm label") << 0 << "PCM file" << QRect(7, 34, 46, 8);
    QTest::newRow("pcm path") << IDC_PCM_PATH << "" << QRect(59, 31, 95, 14);
    QTest::newRow("process") << IDC_PROCESS << "Process" << QRect(7, 126, 50, 14);
    QTest::newRow("choose pcm") << IDC_CHOOSE_PCM << "Choose File" << QRect(162, 31, 50, 14);
    QTest::newRow("logfile label") << 0 << "Logfile" << QRect(7, 58, 28, 8);
    QTest::newRow("logfile") << IDC_LOGFILE << "" << QRect(59, 55, 95, 14);
    QTest::newRow("progress") << IDC_PROGRESS << "" << QRect(69, 126, 143, 14);
    QTest::newRow("blm label") << 0 << "Target blm" << QRect(7, 81, 34, 8);
    QTest::newRow("target blm") << IDC_TARGET_BLM << "124" << QRect(59, 79, 40, 14);
    QTest::newRow("rpm label") << 0 << "Tune up to" << QRect(7, 105, 36, 8);
    QTest::newRow("rpm limit") << IDC_RPM_LIMIT << "3000" << QRect(59, 102, 40, 14);
    QTest::newRow("rpm unit") << 0 << "rpm" << QRect(107, 105, 12, 8);
  }
  void controlsFollowTheTemplate() {
    QFETCH(int, controlId);
    QFETCH(QString, text);
    QFETCH(QRect, units);
    ScriptedServices services;
    TunerDialog dialog(services);
    const DialogUnits dialogUnits = DialogUnits::ForFont(QFontMetrics(dialog.font(), &dialog));
    QCOMPARE(dialog.size(), dialogUnits.Size(219, 146));

    QWidget* control = controlId ? dialog.Control(controlId) : LabelWithText(dialog, text);
    QVERIFY(control);
    const QRect expected(dialogUnits.X(units.x()), dialogUnits.Y(units.y()),
                         dialogUnits.X(units.width()), dialogUnits.Y(units.height()));
    if (controlId) {
      QCOMPARE(control->geometry(), expected);
    } else {  // a label may grow to the right to fit its text
      QCOMPARE(control->pos(), expected.topLeft());
      QCOMPARE(control->height(), expected.height());
      QVERIFY(control->width() >= expected.width());
    }
    if (auto* button = qobject_cast<QPushButton*>(control)) QCOMPARE(button->text(), text);
    if (auto* field = qobject_cast<QLineEdit*>(control)) QCOMPARE(field->text(), text);
    QVERIFY2(control->fontMetrics().horizontalAdvance(text) <= control->width(),
             qPrintable(text + QStringLiteral(" is cut off")));
  }

  void tabOrderFollowsTheTemplate() {
    ScriptedServices services;
    TunerDialog dialog(services);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QList<int> order;
    for (int step = 0; step < 11; ++step) {
      for (int id :
           {IDC_CHOOSE_LOG, IDC_EXIT, IDC_LOG_PATH, IDC_PCM_PATH, IDC_PROCESS, IDC_CHOOSE_PCM,
            IDC_PREVIEW, IDC_LOGFILE, IDC_PROGRESS, IDC_TARGET_BLM, IDC_RPM_LIMIT}) {
        if (dialog.Control(id) == QApplication::focusWidget()) order << id;
      }
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order, (QList<int>{IDC_CHOOSE_LOG, IDC_EXIT, IDC_LOG_PATH, IDC_PCM_PATH, IDC_PROCESS,
                                IDC_CHOOSE_PCM, IDC_PREVIEW, IDC_LOGFILE, IDC_TARGET_BLM,
                                IDC_RPM_LIMIT, IDC_CHOOSE_LOG}));
  }

  void pcmChooserDerivesTheLogfileName_data() {
    QTest::addColumn<QString>("pcmPath");
    QTest::addColumn<QString>("logfileName");
    QTest::newRow("extension") << "/tunes/car.bin"
                               << "/tunes/car_trw.txt";
    QTest::newRow("dot only in a folder") << "/tunes.old/car"
                                          << "/tunes_trw.txt";
    QTest::newRow("no dot") << "/tunes/car"
                            << "/tunes/car_trw.txt";
  }
  void pcmChooserDerivesTheLogfileName() {
    QFETCH(QString, pcmPath);
    QFETCH(QString, logfileName);
    ScriptedServices services;
    services.answers = {pcmPath};
    TunerDialog dialog(services);
    Click(dialog, IDC_CHOOSE_PCM);

    QCOMPARE(Field(dialog, IDC_PCM_PATH)->text(), pcmPath);
    QCOMPARE(Field(dialog, IDC_LOGFILE)->text(), logfileName);
    QCOMPARE(Q(dialog.logfileName()), logfileName);
    QCOMPARE(services.chooserFilters,
             (QList<QStringList>{
                 {"Tunercat Files (*.bin)", "LT1Edit Files (*.lt1)", "All Files (*.*)"}}));
    QCOMPARE(services.events, QStringList());
  }

  // A cancelled chooser keeps the stored path and puts it back into its field.
  void cancelledChoosersRestoreWhatWasStored() {
    ScriptedServices services;
    services.answers = {std::nullopt, QStringLiteral("/tunes/car.bin"), std::nullopt,
                        QStringLiteral("/logs/drive.csv"), std::nullopt};
    TunerDialog dialog(services);

    Click(dialog, IDC_CHOOSE_PCM);
    QCOMPARE(Field(dialog, IDC_PCM_PATH)->text(), QString());
    QCOMPARE(Field(dialog, IDC_LOGFILE)->text(), QStringLiteral("_trw.txt"));

    Click(dialog, IDC_CHOOSE_PCM);
    QTest::keyClicks(Field(dialog, IDC_PCM_PATH), "/typed/other.bin");
    QTest::keyClicks(Field(dialog, IDC_LOGFILE), "/typed/report");
    Click(dialog, IDC_CHOOSE_PCM);
    QCOMPARE(Field(dialog, IDC_PCM_PATH)->text(), QStringLiteral("/tunes/car.bin"));
    QCOMPARE(Field(dialog, IDC_LOGFILE)->text(), QStringLiteral("/tunes/car_trw.txt"));
    QCOMPARE(Q(dialog.pcmPath()), QStringLiteral("/tunes/car.bin"));

    Click(dialog, IDC_CHOOSE_LOG);
    QTest::keyClicks(Field(dialog, IDC_LOG_PATH), "/typed/other.csv");
    Click(dialog, IDC_CHOOSE_LOG);
    QCOMPARE(Field(dialog, IDC_LOG_PATH)->text(), QStringLiteral("/logs/drive.csv"));
    QCOMPARE(Q(dialog.logPath()), QStringLiteral("/logs/drive.csv"));
    QCOMPARE(services.chooserFilters.last(),
             (QStringList{"Datamaster Files (*.uni)", "Freescan Files (*.csv)",
                          "PCMComm Files (*.txt)", "All Files (*.*)"}));
    QCOMPARE(services.events, QStringList());
  }

  // Files handed over (dropped, or named on the command line) land by their
  // extension; one message lists those that cannot be used.
  void openFilesTakesLogsAndImagesByExtension() {
    TempDir dir;
    for (const char* name : {"drive.csv", "car.bin", "notes.pdf"})
      tools::WriteFile(dir.File(name), "x");
    ScriptedServices services;
    TunerDialog dialog(services);
    dialog.OpenFiles({Q(dir.File("drive.csv")), Q(dir.File("car.bin")), Q(dir.File("notes.pdf")),
                      Q(dir.File("gone.uni"))});
    QCOMPARE(Q(dialog.logPath()), Q(dir.File("drive.csv")));
    QCOMPARE(Q(dialog.pcmPath()), Q(dir.File("car.bin")));
    QCOMPARE(Field(dialog, IDC_LOGFILE)->text(), Q(dir.File("car_trw.txt")));
    QCOMPARE(services.events.size(), 1);
    QVERIFY(services.events[0].contains(QStringLiteral("notes.pdf: neither a log")));
    QVERIFY(services.events[0].contains(QStringLiteral("gone.uni: no such file")));
    QVERIFY(Field(dialog, IDC_LOG_PATH)->isReadOnly());
  }

  // Several logs chosen at once feed one pass; the field says how many and
  // names them, the tooltip lists them whole.
  void logChooserTakesSeveralLogs() {
    TempDir dir;
    tools::WriteFile(dir.File("a.txt"), LeanDrive());
    tools::WriteFile(dir.File("b.txt"), LeanDrive());
    tools::WriteFile(dir.File("car.bin"), ImageBytes());
    ScriptedServices services;
    services.answers = {Q(dir.File("a.txt")) + "|" + Q(dir.File("b.txt")), Q(dir.File("car.bin"))};
    TunerDialog dialog(services);
    Click(dialog, IDC_CHOOSE_LOG);
    Click(dialog, IDC_CHOOSE_PCM);
    QCOMPARE(Field(dialog, IDC_LOG_PATH)->text(), QStringLiteral("2 logs: a.txt, b.txt"));
    QCOMPARE(Field(dialog, IDC_LOG_PATH)->cursorPosition(), 0);  // the count shows first
    QCOMPARE(Field(dialog, IDC_LOG_PATH)->toolTip(),
             Q(dir.File("a.txt")) + "\n" + Q(dir.File("b.txt")));
    CapturedOutput output;
    Click(dialog, IDC_PREVIEW);
    QVERIFY(dialog.passWindow());
    const std::string lines = output.Stdout();
    const std::size_t first = lines.find("PCMcomm:  No. records:");
    QVERIFY(first != std::string::npos);
    QVERIFY(lines.find("PCMcomm:  No. records:", first + 1) != std::string::npos);
  }

  // A right click on the window (here on a label, which passes it on) offers
  // the About item; choosing it shows the About box.
  void contextMenuOpensTheAboutBox_data() {
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("About chosen") << "&About trimwright..." << QStringList{"about"};
    QTest::newRow("menu dismissed") << "" << QStringList();
  }
  void contextMenuOpensTheAboutBox() {
    QFETCH(QString, choice);
    QFETCH(QStringList, events);
    ScriptedServices services;
    services.menuChoice = choice;
    TunerDialog dialog(services);
    dialog.show();
    QLabel* label = LabelWithText(dialog, QStringLiteral("PCM file"));
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(2, 2),
                                 label->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(label, &rightClick);

    QCOMPARE(services.menuItems,
             (QStringList{"&Options...", "&Undo last pass...", "&About trimwright..."}));
    QCOMPARE(services.events, events);
    if (events.isEmpty()) return;
    QCOMPARE(services.aboutContents,
             (QStringList{"About trimwright", "icon 32x32", "Trimwright v1.33", "button OK"}));
  }

  void exitEscapeAndCloseBoxEndTheWindow_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Exit") << "Exit";
    QTest::newRow("Escape") << "Escape";
    QTest::newRow("close box") << "close box";
  }
  void exitEscapeAndCloseBoxEndTheWindow() {
    QFETCH(QString, how);
    ScriptedServices services;
    TunerDialog dialog(services);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    if (how == "Exit") Click(dialog, IDC_EXIT);
    if (how == "Escape") QTest::keyClick(Field(dialog, IDC_TARGET_BLM), Qt::Key_Escape);
    if (how == "close box") dialog.close();
    QCOMPARE(finished.count(), 1);
    QVERIFY(!dialog.isVisible());
  }
};

}  // namespace trimwright

QTEST_MAIN(trimwright::MainWindowTest)
#include "MainWindowTest.moc"
