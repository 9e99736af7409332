// The main window on Qt's offscreen platform: its template, tab order and
// keyboard, its choosers and the files handed to it, its menu and its ends.
#include <sys/stat.h>

#include <QDialogButtonBox>

#include "gui/WindowSettings.h"
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
    std::filesystem::create_directory(dir.File("drives.csv"));
    QCOMPARE(mkfifo(dir.File("pipe.uni").c_str(), 0600), 0);
    dialog.OpenFiles({Q(dir.File("drive.csv")), Q(dir.File("car.bin")), Q(dir.File("notes.pdf")),
                      Q(dir.File("gone.uni")), Q(dir.File("drives.csv")), Q(dir.File("pipe.uni"))});
    QCOMPARE(Q(dialog.logPath()), Q(dir.File("drive.csv")));
    QCOMPARE(Q(dialog.pcmPath()), Q(dir.File("car.bin")));
    QCOMPARE(Field(dialog, IDC_LOGFILE)->text(), Q(dir.File("car_trw.txt")));
    // Each name that is no file is said as what it is.
    QCOMPARE(services.events,
             QStringList{"message These files cannot be used:\n" + Q(dir.File("notes.pdf")) +
                         ": neither a log (.uni, .csv, .txt) nor an image (.bin, .lt1)\n" +
                         Q(dir.File("gone.uni")) + ": no such file\n" + Q(dir.File("drives.csv")) +
                         ": a folder, not a file\n" + Q(dir.File("pipe.uni")) +
                         ": a FIFO (named pipe), not a file"});
    QVERIFY(Field(dialog, IDC_LOG_PATH)->isReadOnly());
  }

  // A chooser opens in the folder of the file the window holds (named on
  // its command line, dropped or chosen), else in the folder last used.
  void choosersOpenInTheFolderOfTheFileHeld() {
    TempDir dir;
    std::filesystem::create_directory(dir.File("logs"));
    std::filesystem::create_directory(dir.File("images"));
    std::filesystem::create_directory(dir.File("used"));
    tools::WriteFile(dir.File("logs/drive.csv"), "x");
    tools::WriteFile(dir.File("images/car.bin"), "x");
    ScriptedServices services;
    services.settings =
        std::make_unique<QSettings>(Q(dir.File("settings.ini")), QSettings::IniFormat);
    services.settings->setValue(WindowSettings::kLogFolder, Q(dir.File("used")));
    services.settings->setValue(WindowSettings::kImageFolder, Q(dir.File("used")));
    TunerDialog dialog(services);
    services.answers = {std::nullopt, std::nullopt};
    Click(dialog, IDC_CHOOSE_LOG);
    Click(dialog, IDC_CHOOSE_PCM);
    dialog.OpenFiles({Q(dir.File("logs/drive.csv")), Q(dir.File("images/car.bin"))});
    services.answers = {std::nullopt, std::nullopt};
    Click(dialog, IDC_CHOOSE_LOG);
    Click(dialog, IDC_CHOOSE_PCM);
    QCOMPARE(services.chooserFolders, (QStringList{Q(dir.File("used")), Q(dir.File("used")),
                                                   Q(dir.File("logs")), Q(dir.File("images"))}));
  }

  // Enter in a field presses Preview, the template's default button (it
  // writes nothing), also after the focus passed over another button; it
  // never ends the program.
  void enterInAFieldPressesPreview() {
    ScriptedServices services;
    TunerDialog dialog(services);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto* preview = qobject_cast<QPushButton*>(dialog.Control(IDC_PREVIEW));
    for (int id : {IDC_TARGET_BLM, IDC_RPM_LIMIT, IDC_LOGFILE}) {
      dialog.Control(IDC_EXIT)->setFocus();
      QVERIFY(!preview->isDefault());  // a focused button takes Enter itself
      Field(dialog, id)->setFocus();
      QVERIFY(preview->isDefault());
      QTest::keyClick(Field(dialog, id), Qt::Key_Return);
      QTest::keyClick(Field(dialog, id), Qt::Key_Enter);
    }
    QCOMPARE(services.events, QStringList(6, "message Please enter a datamaster file"));
    QCOMPARE(finished.count(), 0);
    QVERIFY(dialog.isVisible());
  }

  // The numbers typed are remembered however the window closes; a target
  // the run would refuse is not.
  void typedNumbersAreSavedOnEveryClose_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("remembered");
    QTest::newRow("Exit") << "Exit"
                          << "121"
                          << "121";
    QTest::newRow("Escape") << "Escape"
                            << "122"
                            << "122";
    QTest::newRow("close box") << "close box"
                               << "123"
                               << "123";
    QTest::newRow("refused target") << "Escape"
                                    << "1240"
                                    << "124";
  }
  void typedNumbersAreSavedOnEveryClose() {
    QFETCH(QString, how);
    QFETCH(QString, target);
    QFETCH(QString, remembered);
    TempDir dir;
    const QString ini = Q(dir.File("settings.ini"));
    {
      ScriptedServices services;
      services.settings = std::make_unique<QSettings>(ini, QSettings::IniFormat);
      TunerDialog dialog(services);
      dialog.show();
      Field(dialog, IDC_TARGET_BLM)->clear();
      QTest::keyClicks(Field(dialog, IDC_TARGET_BLM), target);
      Field(dialog, IDC_RPM_LIMIT)->clear();
      QTest::keyClicks(Field(dialog, IDC_RPM_LIMIT), QStringLiteral("2500"));
      if (how == "Exit") Click(dialog, IDC_EXIT);
      if (how == "Escape") QTest::keyClick(Field(dialog, IDC_RPM_LIMIT), Qt::Key_Escape);
      if (how == "close box") dialog.close();
      QVERIFY(!dialog.isVisible());
    }
    ScriptedServices again;
    again.settings = std::make_unique<QSettings>(ini, QSettings::IniFormat);
    TunerDialog dialog(again);
    QCOMPARE(Field(dialog, IDC_TARGET_BLM)->text(), remembered);
    QCOMPARE(Field(dialog, IDC_RPM_LIMIT)->text(), remembered == target ? "2500" : "3000");
  }

  // Options takes values as the command line does and refuses, with the
  // command line's words and the cursor in the field, what it refuses; what
  // it keeps is what was typed. A value not ticked is not read.
  void optionsRefuseWhatTheCommandLineRefuses_data() {
    QTest::addColumn<QString>("limit");
    QTest::addColumn<QString>("low");  // the value, or the low end of the window
    QTest::addColumn<QString>("high");
    QTest::addColumn<QString>("refusal");
    const QString percent = "needs a percentage above 0 such as 5 or 2.5 (no sign or % sign)";
    const QString window =
        "--aux-window: needs LO-HI, two whole numbers 0 to 255 with LO not above HI (such as "
        "118-138), got ";
    QTest::newRow("change 0") << "change"
                              << "0"
                              << ""
                              << "--max-change: " + percent + ", got '0'";
    QTest::newRow("change just above 0") << "change"
                                         << "0.000001"
                                         << ""
                                         << "";
    QTest::newRow("change in hundredths") << "change"
                                          << "2.55"
                                          << ""
                                          << "";
    QTest::newRow("change with a sign") << "change"
                                        << "+5"
                                        << ""
                                        << "--max-change: " + percent + ", got '+5'";
    QTest::newRow("total 0") << "total"
                             << "0"
                             << ""
                             << "--max-total-change: " + percent + ", got '0'";
    QTest::newRow("records 0") << "records"
                               << "0"
                               << ""
                               << "--min-records: needs a whole number of records of at least "
                                  "1, got '0'";
    QTest::newRow("records 1") << "records"
                               << "1"
                               << ""
                               << "";
    QTest::newRow("window 300 low") << "window"
                                    << "300"
                                    << "146" << window + "'300-146'";
    QTest::newRow("window 256 high") << "window"
                                     << "110"
                                     << "256" << window + "'110-256'";
    QTest::newRow("window ends crossed") << "window"
                                         << "150"
                                         << "140" << window + "'150-140'";
    QTest::newRow("window 0-255") << "window"
                                  << "0"
                                  << "255"
                                  << "";
    QTest::newRow("window 255-255") << "window"
                                    << "255"
                                    << "255"
                                    << "";
    QTest::newRow("not ticked") << "off"
                                << "0"
                                << ""
                                << "";
  }
  void optionsRefuseWhatTheCommandLineRefuses() {
    QFETCH(QString, limit);
    QFETCH(QString, low);
    QFETCH(QString, high);
    QFETCH(QString, refusal);
    OptionsDialog options{PassLimits()};
    options.show();
    QCheckBox* box = limit == "change" || limit == "off" ? options.maxChangeBox()
                     : limit == "total"                  ? options.maxTotalChangeBox()
                     : limit == "records"                ? options.minRecordsBox()
                                                         : options.auxWindowBox();
    QLineEdit* field = limit == "change" || limit == "off" ? options.maxChangeField()
                       : limit == "total"                  ? options.maxTotalChangeField()
                       : limit == "records"                ? options.minRecordsField()
                                                           : options.auxLowField();
    box->setChecked(limit != "off");
    field->setText(low);
    if (limit == "window") options.auxHighField()->setText(high);
    QTest::mouseClick(options.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                      Qt::LeftButton);
    if (!refusal.isEmpty()) {
      QVERIFY(options.isVisible());
      QCOMPARE(options.problemLabel()->text(), refusal);
      QVERIFY(options.problemLabel()->isVisible());
      const bool lowAtFault = limit != "window" || low.toInt() > 255;
      QCOMPARE(options.focusWidget(), lowAtFault ? field : options.auxHighField());
      return;
    }
    QVERIFY(!options.isVisible());
    QCOMPARE(options.result(), int(QDialog::Accepted));
    const PassLimits limits = options.Limits();
    if (limit == "change") QCOMPARE(limits.maxChangePercent, std::optional<double>(low.toDouble()));
    if (limit == "records") QCOMPARE(limits.minRecords, std::optional<std::int32_t>(1));
    if (limit == "window") {
      QVERIFY(limits.auxWindow && limits.auxWindow->low == low.toInt() &&
              limits.auxWindow->high == high.toInt());
    }
    if (limit == "off") QVERIFY(!limits.maxChangePercent);
    // Opened again, it shows what it kept.
    if (limit == "change") QCOMPARE(OptionsDialog(limits).maxChangeField()->text(), low);
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

    QCOMPARE(services.menuItems, (QStringList{"&Options...", "&Undo last pass...",
                                              "&Capture a drive...", "&About trimwright..."}));
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
