// Passes run from the main window on Qt's offscreen platform: Process and
// Preview with Apply against a run driven directly, stale and refused
// inputs, failures, the Options and the undo.
#include "tests/gui/GuiTestSupport.h"

namespace trimwright {

using namespace guitest;

class WindowPassTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QApplication::setApplicationName(QString::fromLatin1(TunerApp::kApplicationName));
  }

  // Runs that end early, seen from the window: typed paths are not what the
  // run uses, and the two numbers come from their own fields. Chosen names
  // are files in a temporary folder; "drive.csv" and "car.bin" exist there.
  void processEndsWithTheRunsMessages_data() {
    QTest::addColumn<QString>("logChoice");
    QTest::addColumn<QString>("pcmChoice");
    QTest::addColumn<QString>("typedLogPath");
    QTest::addColumn<QString>("targetBlm");
    QTest::addColumn<QString>("rpmLimit");
    QTest::addColumn<QStringList>("events");
    // clang-format off
    QTest::newRow("typed log path is not stored")
        << "" << "car.bin" << "drive.csv" << "124" << "3000"
        << QStringList{"message Please enter a datamaster file"};
    QTest::newRow("both warnings, then unknown image type")
        << "drive.csv" << "car.Lt1" << "" << "100" << "9000"
        << QStringList{"message It is recommended to tune for a blm of 118-124",
                       "message Cannot tune above 7000 rpm", "progress 20", "progress 40",
                       "message Unknown type of pcm file"};
    QTest::newRow("target no BLM can have")
        << "drive.csv" << "car.bin" << "" << "1240" << "3000"
        << QStringList{"message The target blm 1240 is not a BLM value (0 to 255, 128 means no "
                       "correction); nothing was read or written"};
    // clang-format on
  }
  void processEndsWithTheRunsMessages() {
    QFETCH(QString, logChoice);
    QFETCH(QString, pcmChoice);
    QFETCH(QString, typedLogPath);
    QFETCH(QString, targetBlm);
    QFETCH(QString, rpmLimit);
    QFETCH(QStringList, events);
    TempDir dir;
    tools::WriteFile(dir.File("drive.csv"), tools::FreescanLog({tools::FreescanRecord()}));
    tools::WriteFile(dir.File("car.bin"), ImageBytes());
    auto inDir = [&dir](const QString& name) { return Q(dir.File(name.toStdString())); };

    ScriptedServices services;
    TunerDialog dialog(services);
    dialog.show();
    RecordProgress(dialog, services.events);
    if (!logChoice.isEmpty()) {
      services.answers = {inDir(logChoice)};
      Click(dialog, IDC_CHOOSE_LOG);
    }
    if (!pcmChoice.isEmpty()) {
      services.answers = {inDir(pcmChoice)};
      Click(dialog, IDC_CHOOSE_PCM);
    }
    if (!typedLogPath.isEmpty()) QTest::keyClicks(Field(dialog, IDC_LOG_PATH), inDir(typedLogPath));
    Field(dialog, IDC_TARGET_BLM)->setText(targetBlm);
    Field(dialog, IDC_RPM_LIMIT)->setText(rpmLimit);

    CapturedOutput output;
    Click(dialog, IDC_PROCESS);
    QCOMPARE(services.events, events);
    QCOMPARE(services.boxCaption, QStringLiteral("Trimwright"));
    QCOMPARE(services.boxButtons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(dialog.isVisible());
  }

  // The whole road from the choosers to the report: what the window writes
  // equals what a run driven directly writes from the same inputs, and a
  // hand-edited logfile field does not move the report.
  void processTunesTheImageLikeADirectRun() {
    TempDir dir;
    const std::string drive = LeanDrive();
    const std::string image = ImageBytes();
    for (const char* copy : {"window.txt", "direct.txt"}) tools::WriteFile(dir.File(copy), drive);
    for (const char* copy : {"window.bin", "direct.bin"}) tools::WriteFile(dir.File(copy), image);

    ScriptedServices services;
    services.answers = {Q(dir.File("window.txt")), Q(dir.File("window.bin"))};
    TunerDialog dialog(services);
    dialog.show();
    RecordProgress(dialog, services.events);
    Click(dialog, IDC_CHOOSE_LOG);
    Click(dialog, IDC_CHOOSE_PCM);
    QCOMPARE(Field(dialog, IDC_LOGFILE)->text(), Q(dir.File("window_trw.txt")));
    Field(dialog, IDC_LOGFILE)->setText(Q(dir.File("typed_trw.txt")));

    CapturedOutput output;
    Click(dialog, IDC_PROCESS);
    QCOMPARE(services.events,
             (QStringList{"progress 20", "progress 40", "progress 60", "progress 100",
                          "message Processing complete", "progress 0"}));
    QCOMPARE(services.boxCaption, QStringLiteral("Trimwright"));
    QCOMPARE(services.boxButtons, QMessageBox::StandardButtons(QMessageBox::Ok));

    FixedFieldsWindow direct;
    TuningRun(direct).Perform(RunRequest::ForOneLog(dir.File("direct.txt"), dir.File("direct.bin"),
                                                    dir.File("direct_trw.txt"), "124", "3000"));
    QCOMPARE(direct.messages, std::vector<std::string>{"Processing complete"});

    const std::string report = tools::ReadFile(dir.File("window_trw.txt"));
    QVERIFY(report.find("VE table modifications") != std::string::npos);
    QVERIFY(report == tools::ReadFile(dir.File("direct_trw.txt")));
    const std::string tuned = tools::ReadFile(dir.File("window.bin"));
    QVERIFY(tuned != image);
    QVERIFY(tuned == tools::ReadFile(dir.File("direct.bin")));
    QVERIFY(!QFile::exists(Q(dir.File("typed_trw.txt"))));
  }

  // Preview writes nothing and shows the pass; Apply then writes exactly what
  // Process writes. An image or log changed after the preview is refused,
  // nothing is written, and the pass is previewed again from the files as
  // they are now.
  void previewShowsThePassAndApplyWritesIt() {
    TempDir dir;
    const std::string image = ImageBytes();
    for (const char* copy : {"window.txt", "direct.txt"})
      tools::WriteFile(dir.File(copy), LeanDrive());
    for (const char* copy : {"window.bin", "direct.bin"}) tools::WriteFile(dir.File(copy), image);
    ScriptedServices services;
    services.answers = {Q(dir.File("window.txt")), Q(dir.File("window.bin"))};
    TunerDialog dialog(services);
    dialog.show();
    Click(dialog, IDC_CHOOSE_LOG);
    Click(dialog, IDC_CHOOSE_PCM);
    CapturedOutput output;
    FixedFieldsWindow direct;
    TuningRun(direct).Perform(RunRequest::ForOneLog(dir.File("direct.txt"), dir.File("direct.bin"),
                                                    dir.File("direct_trw.txt"), "124", "3000"));

    Click(dialog, IDC_PREVIEW);
    QCOMPARE(services.events, QStringList());
    QVERIFY(tools::ReadFile(dir.File("window.bin")) == image);
    QVERIFY(!QFile::exists(Q(dir.File("window_trw.txt"))));
    PassWindow* pass = dialog.passWindow();
    QVERIFY(pass && pass->isVisible() && pass->applyButton()->isVisible());
    QVERIFY(pass->summaryLabel()->text().startsWith(QStringLiteral("Preview: ")));
    QCOMPARE(pass->veModel().rowCount(), 25);
    // The records' fates under the summary, their plot in the Records tab, and
    // the VE cell under the mouse in the table marked in the plot.
    QVERIFY2(pass->summaryLabel()->text().contains(QStringLiteral("\nRecords: ")),
             qPrintable(pass->summaryLabel()->text()));
    QVERIFY(!pass->recordsView()->model().Points(RecordFate::kUsed).isEmpty());
    const QModelIndex hovered = pass->veModel().index(8, 6);
    pass->veView()->scrollTo(hovered);
    QTest::mouseMove(pass->veView()->viewport(), pass->veView()->visualRect(hovered).center());
    const GridCell cell = pass->veModel().CellAt(hovered);
    QCOMPARE(pass->recordsView()->highlightedCell(),
             std::optional<QPoint>(
                 QPoint(VEGrid::ColumnOf(static_cast<float>(cell.kpa)), VEGrid::RowOf(cell.rpm))));

    // Changed on disk after the preview: refused, previewed again.
    std::string edited = image;
    edited[0x100] = static_cast<char>(edited[0x100] ^ 0x5A);
    tools::WriteFile(dir.File("window.bin"), edited);
    QTest::mouseClick(pass->applyButton(), Qt::LeftButton);
    QCOMPARE(services.events,
             QStringList{"message Since the preview, the calibration image " +
                         Q(dir.File("window.bin")) +
                         " changed; nothing was written; the pass is previewed again."});
    QVERIFY(tools::ReadFile(dir.File("window.bin")) == edited);
    QVERIFY(pass->applyButton()->isVisible());

    tools::WriteFile(dir.File("window.bin"), image);
    Click(dialog, IDC_PREVIEW);
    // A log rewritten after the preview (its bytes the same, its time not):
    // refused as well, and previewed again from it, so the next Apply writes.
    const std::string log = dir.File("window.txt");
    const auto logTime = std::filesystem::last_write_time(log);
    tools::WriteFile(log, LeanDrive());
    std::filesystem::last_write_time(log, logTime + std::chrono::seconds(1));
    services.events.clear();
    QTest::mouseClick(pass->applyButton(), Qt::LeftButton);
    QCOMPARE(services.events,
             QStringList{"message Since the preview, the log " + Q(log) +
                         " changed; nothing was written; the pass is previewed again."});
    QVERIFY(tools::ReadFile(dir.File("window.bin")) == image);
    QVERIFY(!QFile::exists(Q(dir.File("window_trw.txt"))));
    services.events.clear();
    QTest::mouseClick(pass->applyButton(), Qt::LeftButton);
    QCOMPARE(services.events, QStringList{"message Processing complete"});
    QVERIFY(tools::ReadFile(dir.File("window.bin")) == tools::ReadFile(dir.File("direct.bin")));
    QVERIFY(tools::ReadFile(dir.File("window_trw.txt")) ==
            tools::ReadFile(dir.File("direct_trw.txt")));
    QVERIFY(!pass->applyButton()->isVisible());
    QVERIFY(pass->summaryLabel()->text().startsWith(QStringLiteral("Written: ")));
    QCOMPARE(pass->progressModel().rowCount(), 1);
    QCOMPARE(pass->progressModel().index(0, ProgressModel::kEntry).data().toString(),
             QStringLiteral("pass"));
  }

  // The limits set in Options reach the passes and, with the typed numbers,
  // are there again at the next start; Undo last pass puts the image back
  // after asking.
  void optionsAreRememberedAndUndoPutsTheImageBack() {
    TempDir dir;
    tools::WriteFile(dir.File("drive.txt"), LeanDrive());
    const std::string image = ImageBytes();
    tools::WriteFile(dir.File("car.bin"), image);
    const QString ini = Q(dir.File("settings.ini"));
    {
      ScriptedServices services;
      services.settings = std::make_unique<QSettings>(ini, QSettings::IniFormat);
      services.onOptions = [](OptionsDialog& options) {
        options.maxChangeBox()->setChecked(true);
        options.maxChangeField()->setText(QStringLiteral("2.5"));
        options.maxTotalChangeBox()->setChecked(true);
        options.maxTotalChangeField()->setText(QStringLiteral("7.5"));
        options.smoothBox()->setChecked(true);
      };
      services.menuChoice = QStringLiteral("&Options...");
      services.answers = {Q(dir.File("drive.txt")), Q(dir.File("car.bin"))};
      TunerDialog dialog(services);
      dialog.show();
      QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(2, 2),
                                   dialog.mapToGlobal(QPoint(2, 2)));
      QApplication::sendEvent(&dialog, &rightClick);
      QCOMPARE(dialog.limits().maxChangePercent, std::optional<double>(2.5));
      QVERIFY(!dialog.limits().minRecords);
      Field(dialog, IDC_TARGET_BLM)->setText(QStringLiteral("122"));
      Click(dialog, IDC_CHOOSE_LOG);
      Click(dialog, IDC_CHOOSE_PCM);
      CapturedOutput output;
      Click(dialog, IDC_PROCESS);
      QVERIFY(tools::ReadFile(dir.File("car.bin")) != image);
      QVERIFY(tools::ReadFile(dir.File("car_trw.txt")).find("2.5%") != std::string::npos);
      QVERIFY(tools::ReadFile(dir.File("car_trw.txt")).find("Largest total change: 7.5% from") !=
              std::string::npos);

      services.events.clear();
      services.menuChoice = QStringLiteral("&Undo last pass...");
      QApplication::sendEvent(&dialog, &rightClick);
      QCOMPARE(services.events.size(), 2);
      QVERIFY(services.events[0].startsWith(QStringLiteral("message Undo pass #1 of ")));
      QVERIFY(services.events[0].contains(QStringLiteral("drive.txt")));
      QVERIFY(services.events[1].startsWith(QStringLiteral("message Put back ")));
      QVERIFY(tools::ReadFile(dir.File("car.bin")) == image);

      // A target the run refuses is not remembered.
      Field(dialog, IDC_TARGET_BLM)->setText(QStringLiteral("1240"));
      Click(dialog, IDC_PROCESS);
      QVERIFY(tools::ReadFile(dir.File("car.bin")) == image);
    }
    ScriptedServices again;
    again.settings = std::make_unique<QSettings>(ini, QSettings::IniFormat);
    TunerDialog dialog(again);
    QCOMPARE(Field(dialog, IDC_TARGET_BLM)->text(), QStringLiteral("122"));
    QCOMPARE(dialog.limits().maxChangePercent, std::optional<double>(2.5));
    QCOMPARE(dialog.limits().maxTotalChangePercent, std::optional<double>(7.5));
    QVERIFY(!dialog.limits().auxWindow);
    // Each box is read back from its own key.
    QVERIFY(dialog.limits().smooth && !dialog.limits().addSecondTrim);
  }

  // An image that fails its check is refused with a box that asks; Cancel
  // writes nothing, "Tune anyway" tunes it as it is, from Process and from a
  // preview's Apply alike. The preview warns.
  void unsoundImageIsTunedOnlyWhenTheTunerChoosesTo() {
    TempDir dir;
    std::string image = ImageBytes();
    image[0x1FFFF] = static_cast<char>(image[0x1FFFF] ^ 1);
    for (const char* copy : {"window.txt", "direct.txt"})
      tools::WriteFile(dir.File(copy), LeanDrive());
    for (const char* copy : {"window.bin", "direct.bin"}) tools::WriteFile(dir.File(copy), image);
    CapturedOutput output;
    FixedFieldsWindow direct;
    RunRequest anyway = RunRequest::ForOneLog(dir.File("direct.txt"), dir.File("direct.bin"),
                                              dir.File("direct_trw.txt"), "124", "3000");
    anyway.ignoreChecksum = true;
    TuningRun(direct).Perform(anyway);
    const std::string tuned = tools::ReadFile(dir.File("direct.bin"));
    QVERIFY(tuned != image);

    ScriptedServices services;
    services.answers = {Q(dir.File("window.txt")), Q(dir.File("window.bin"))};
    TunerDialog dialog(services);
    dialog.show();
    QStringList progress;
    RecordProgress(dialog, progress);
    Click(dialog, IDC_CHOOSE_LOG);
    Click(dialog, IDC_CHOOSE_PCM);
    Click(dialog, IDC_PROCESS);
    // The bar the refused run moved is back at 0.
    QCOMPARE(progress, (QStringList{"progress 20", "progress 0"}));
    QCOMPARE(qobject_cast<QProgressBar*>(dialog.Control(IDC_PROGRESS))->value(), 0);
    QCOMPARE(services.events.size(), 1);
    QVERIFY2(services.events[0].startsWith("question The image " + Q(dir.File("window.bin")) +
                                           " is not a sound calibration, so it was not tuned: "
                                           "the checksum of its second half"),
             qPrintable(services.events[0]));
    QVERIFY(services.events[0].endsWith(QStringLiteral("Tune this one anyway, exactly as it is?")));
    QCOMPARE(services.yesText, QStringLiteral("Tune anyway"));
    QVERIFY(tools::ReadFile(dir.File("window.bin")) == image);
    QVERIFY(!QFile::exists(Q(dir.File("window_trw.txt"))));
    QVERIFY(!dialog.passWindow());

    services.events.clear();
    services.question = QMessageBox::Yes;
    Click(dialog, IDC_PROCESS);
    QCOMPARE(services.events.size(), 2);
    QCOMPARE(services.events[1], QStringLiteral("message Processing complete"));
    QVERIFY(tools::ReadFile(dir.File("window.bin")) == tuned);
    QVERIFY(tools::ReadFile(dir.File("window_trw.txt")) ==
            tools::ReadFile(dir.File("direct_trw.txt")));

    // A preview warns, and its Apply asks again.
    tools::WriteFile(dir.File("window.bin"), image);
    services.events.clear();
    services.question = QMessageBox::Cancel;
    Click(dialog, IDC_PREVIEW);
    QCOMPARE(services.events, QStringList());
    PassWindow* pass = dialog.passWindow();
    QVERIFY(pass->warningList()->count() > 0);
    QVERIFY2(pass->warningList()->item(0)->text().startsWith(
                 "Warning!  The image " + Q(dir.File("window.bin")) + " is not a sound"),
             qPrintable(pass->warningList()->item(0)->text()));
    QTest::mouseClick(pass->applyButton(), Qt::LeftButton);
    QCOMPARE(services.events.size(), 1);
    QVERIFY(services.events[0].startsWith(QStringLiteral("question The image ")));
    QVERIFY(tools::ReadFile(dir.File("window.bin")) == image);
    QVERIFY(pass->applyButton()->isVisible());
    services.events.clear();
    services.question = QMessageBox::Yes;
    QTest::mouseClick(pass->applyButton(), Qt::LeftButton);
    QCOMPARE(services.events.size(), 2);
    QCOMPARE(services.events[1], QStringLiteral("message Processing complete"));
    QVERIFY(tools::ReadFile(dir.File("window.bin")) == tuned);
    QVERIFY(!pass->applyButton()->isVisible());
  }

  // A preview whose log is gone since: Apply says so, the window says the
  // preview can no longer be applied and Apply is off, so that no click
  // brings the boxes again; a new preview can be applied.
  void aPreviewWhoseLogIsGoneCannotBeApplied() {
    TempDir dir;
    tools::WriteFile(dir.File("drive.txt"), LeanDrive());
    const std::string image = ImageBytes();
    tools::WriteFile(dir.File("car.bin"), image);
    ScriptedServices services;
    TunerDialog dialog(services);
    dialog.show();
    dialog.OpenFiles({Q(dir.File("drive.txt")), Q(dir.File("car.bin"))});
    CapturedOutput output;
    Click(dialog, IDC_PREVIEW);
    PassWindow* pass = dialog.passWindow();
    std::filesystem::remove(dir.File("drive.txt"));
    QTest::mouseClick(pass->applyButton(), Qt::LeftButton);
    QCOMPARE(services.events.size(), 2);
    QCOMPARE(services.events[0], "message Since the preview, the log " + Q(dir.File("drive.txt")) +
                                     " is gone; nothing was written; the pass is previewed again.");
    QVERIFY2(services.events[1].startsWith("error ") &&
                 services.events[1].contains(Q(dir.File("drive.txt"))),
             qPrintable(services.events[1]));
    QVERIFY(!pass->applyButton()->isEnabled());
    QCOMPARE(pass->windowTitle(),
             QStringLiteral("Trimwright - preview (its files are gone; nothing to apply)"));
    QVERIFY(pass->summaryLabel()->text().startsWith(
        QStringLiteral("This preview can no longer be applied: its files are not there any "
                       "more. Preview again once they are.\nPreview: ")));
    services.events.clear();
    QTest::mouseClick(pass->applyButton(), Qt::LeftButton);
    dialog.OnApplyPreview();
    QCOMPARE(services.events, QStringList());
    QVERIFY(tools::ReadFile(dir.File("car.bin")) == image);

    tools::WriteFile(dir.File("drive.txt"), LeanDrive());
    Click(dialog, IDC_PREVIEW);
    QVERIFY(pass->applyButton()->isEnabled());
    QCOMPARE(pass->windowTitle(), QStringLiteral("Trimwright - preview (nothing written yet)"));
    QVERIFY(pass->summaryLabel()->text().startsWith(QStringLiteral("Preview: ")));
    QTest::mouseClick(pass->applyButton(), Qt::LeftButton);
    QCOMPARE(services.events, QStringList{"message Processing complete"});
  }

  // A whole pass with the keyboard alone: Tab to the target, a number typed
  // and Enter (Preview); in the pass window, which gives the grid the keys,
  // Tab out of the grid past every button to Apply, where Enter does nothing
  // and Space writes the pass; Escape closes it and Escape ends the
  // program, which remembers the number.
  void aWholePassWithTheKeyboardAlone() {
    TempDir dir;
    for (const char* copy : {"drive.txt", "direct.txt"})
      tools::WriteFile(dir.File(copy), LeanDrive());
    for (const char* copy : {"car.bin", "direct.bin"})
      tools::WriteFile(dir.File(copy), ImageBytes());
    CapturedOutput output;
    FixedFieldsWindow direct;
    TuningRun(direct).Perform(RunRequest::ForOneLog(dir.File("direct.txt"), dir.File("direct.bin"),
                                                    dir.File("direct_trw.txt"), "121", "3000"));
    const QString ini = Q(dir.File("settings.ini"));
    {
      ScriptedServices services;
      services.settings = std::make_unique<QSettings>(ini, QSettings::IniFormat);
      TunerDialog dialog(services);
      QSignalSpy finished(&dialog, &QDialog::finished);
      dialog.OpenFiles({Q(dir.File("drive.txt")), Q(dir.File("car.bin"))});
      dialog.show();
      QVERIFY(QTest::qWaitForWindowActive(&dialog));
      // Keys go to the focused control, or to the window while none is.
      QList<QWidget*> visited;
      auto tabTo = [&visited](QWidget* wanted) {
        visited.clear();
        for (int step = 0; step < 40 && QApplication::focusWidget() != wanted; ++step) {
          QWidget* at = QApplication::focusWidget();
          visited << at;
          QTest::keyClick(at ? at : QApplication::activeWindow(), Qt::Key_Tab);
        }
        return QApplication::focusWidget() == wanted;
      };
      QLineEdit* target = Field(dialog, IDC_TARGET_BLM);
      QVERIFY(tabTo(target));
      QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(target, QStringLiteral("121"));
      QTest::keyClick(target, Qt::Key_Return);
      PassWindow* pass = dialog.passWindow();
      QVERIFY(pass && pass->isVisible() && pass->applyButton()->isEnabled());
      QCOMPARE(services.events, QStringList());
      // A window beside the dialog counts as active while the dialog is, so
      // the wait is for the pass window itself.
      pass->activateWindow();
      QTRY_VERIFY(QApplication::activeWindow() == pass);
      QVERIFY(tabTo(pass->applyButton()));
      QCOMPARE(visited.value(0), pass->veView());
      QCOMPARE(visited.value(1), pass->lockButton());
      QVERIFY(visited.count(pass->veView()) == 1 && visited.contains(pass->unlockButton()) &&
              visited.contains(pass->compareButton()));
      const std::string image = tools::ReadFile(dir.File("car.bin"));
      QTest::keyClick(pass->applyButton(), Qt::Key_Return);
      QTest::keyClick(pass->applyButton(), Qt::Key_Enter);
      QVERIFY(services.events.isEmpty() && tools::ReadFile(dir.File("car.bin")) == image);
      QTest::keyClick(pass->applyButton(), Qt::Key_Space);
      QCOMPARE(services.events, QStringList{"message Processing complete"});
      QVERIFY(tools::ReadFile(dir.File("car.bin")) == tools::ReadFile(dir.File("direct.bin")));
      // Apply goes once the pass is written; the keys pass to Close.
      const auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
      QVERIFY(!pass->applyButton()->isVisible() && focused && focused->text() == "Close");
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
      QVERIFY(!pass->isVisible());
      dialog.activateWindow();  // as the desktop gives it back
      QTRY_VERIFY(QApplication::activeWindow() == &dialog);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
      QCOMPARE(finished.count(), 1);
    }
    ScriptedServices again;
    again.settings = std::make_unique<QSettings>(ini, QSettings::IniFormat);
    TunerDialog dialog(again);
    QCOMPARE(Field(dialog, IDC_TARGET_BLM)->text(), QStringLiteral("121"));
  }

  // A file failure during a run is shown with its text; the window stays
  // open and the next run works once the file is there.
  void fatalErrorIsShownAndTheWindowStays() {
    TempDir dir;
    tools::WriteFile(dir.File("drive.txt"), LeanDrive());
    const std::string missing = dir.File("missing.bin");
    ScriptedServices services;
    services.answers = {Q(dir.File("drive.txt")), Q(missing)};
    TunerDialog dialog(services);
    dialog.show();
    RecordProgress(dialog, services.events);
    Click(dialog, IDC_CHOOSE_LOG);
    Click(dialog, IDC_CHOOSE_PCM);

    CapturedOutput output;
    Click(dialog, IDC_PROCESS);
    // The bar goes back to 0 before the failure is shown: nothing runs any more.
    QCOMPARE(services.events, (QStringList{"progress 20", "progress 40", "progress 0",
                                           "error Unable to open file " + Q(missing)}));
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.Control(IDC_PROCESS)->isEnabled());

    tools::WriteFile(missing, ImageBytes());
    services.events.clear();
    Click(dialog, IDC_PROCESS);
    QVERIFY(services.events.contains(QStringLiteral("message Processing complete")));
  }
};

}  // namespace trimwright

QTEST_MAIN(trimwright::WindowPassTest)
#include "WindowPassTest.moc"
