// Tests of the main window on Qt's offscreen platform. A scripted
// DialogServices answers the file choosers, message boxes, context menu and
// About box, so no test ever waits in a modal loop.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/CellLocks.h"
#include "app/TuningRun.h"
#include "calibration/VEGrid.h"
#include "gui/AboutDialog.h"
#include "gui/CompareWindow.h"
#include "gui/ControlIds.h"
#include "gui/DialogServices.h"
#include "gui/DialogUnits.h"
#include "gui/OptionsDialog.h"
#include "gui/PassWindow.h"
#include "gui/ProgressChart.h"
#include "gui/ProgressModel.h"
#include "gui/RecordScatterView.h"
#include "gui/TunerApp.h"
#include "gui/TunerDialog.h"
#include "gui/VeTableModel.h"
#include "gui/WindowPlacement.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/TempDir.h"
#include "tools/ImageWriter.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

using testing::CapturedOutput;
using testing::TempDir;

// Answers the window's modal parts from a script and writes what the window
// showed into events, one line each, in order.
class ScriptedServices : public DialogServices {
 public:
  // Answers for the file choosers in turn: a path, or nothing for Cancel.
  std::vector<std::optional<QString>> answers;
  // The menu item to pick from a context menu; empty dismisses the menu.
  QString menuChoice;

  QStringList events;
  QList<QStringList> chooserFilters;
  QStringList menuItems;
  QMessageBox::StandardButtons boxButtons;
  QString boxCaption;
  AboutDialog* aboutShown = nullptr;  // valid only inside RunModal
  QStringList aboutContents;
  // The answer to a box that asks Yes or Cancel, and the text of its Yes button.
  int question = QMessageBox::Cancel;
  QString yesText;

  // Sets the Options dialog before it is accepted; nullptr cancels it.
  std::function<void(OptionsDialog&)> onOptions;
  // Where the window remembers its settings; nothing by default.
  std::unique_ptr<QSettings> settings;

  QSettings* Settings() override { return settings.get(); }

  // An answer may name several files, separated by "|".
  std::optional<QStringList> RunFilesChooser(QFileDialog& chooser) override {
    const std::optional<QString> answer = RunFileChooser(chooser);
    if (!answer) return std::nullopt;
    return answer->split(QLatin1Char('|'));
  }

  int RunModal(QDialog& dialog) override {
    if (auto* options = qobject_cast<OptionsDialog*>(&dialog)) {
      events << QStringLiteral("options");
      if (!onOptions) return QDialog::Rejected;
      onOptions(*options);
      return QDialog::Accepted;
    }
    if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
      if (QAbstractButton* yes = box->button(QMessageBox::Yes)) {
        events << QStringLiteral("question ") + box->text();
        yesText = yes->text();
        return question;
      }
      const bool error = box->icon() == QMessageBox::Critical;
      events << (error ? QStringLiteral("error ") : QStringLiteral("message ")) + box->text();
      boxButtons = box->standardButtons();
      boxCaption = box->windowTitle();
      return QMessageBox::Ok;
    }
    if (auto* about = qobject_cast<AboutDialog*>(&dialog)) {
      events << QStringLiteral("about");
      aboutContents << about->windowTitle();
      for (const QLabel* label : about->findChildren<QLabel*>()) {
        if (!label->pixmap().isNull()) {
          aboutContents << QStringLiteral("icon %1x%2")
                               .arg(label->pixmap().width())
                               .arg(label->pixmap().height());
        } else {
          aboutContents << label->text();
        }
      }
      for (const QPushButton* button : about->findChildren<QPushButton*>()) {
        aboutContents << QStringLiteral("button ") + button->text();
      }
      return QDialog::Accepted;
    }
    events << QStringLiteral("unexpected dialog ") + dialog.windowTitle();
    return QDialog::Rejected;
  }

  std::optional<QString> RunFileChooser(QFileDialog& chooser) override {
    chooserFilters << chooser.nameFilters();
    // The log chooser takes several files, the image chooser one.
    if (chooser.acceptMode() != QFileDialog::AcceptOpen ||
        (chooser.fileMode() != QFileDialog::ExistingFile &&
         chooser.fileMode() != QFileDialog::ExistingFiles)) {
      events << QStringLiteral("chooser not in open mode");
    }
    if (answers.empty()) {
      events << QStringLiteral("unexpected chooser");
      return std::nullopt;
    }
    std::optional<QString> answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }

  QAction* RunMenu(QMenu& menu, const QPoint&) override {
    QAction* chosen = nullptr;
    for (QAction* action : menu.actions()) {
      menuItems << action->text();
      if (action->text() == menuChoice) chosen = action;
    }
    return chosen;
  }
};

// The window's side of a run driven without the window: messages recorded.
class FixedFieldsWindow : public RunWindow {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void SetProgress(int) override {}
  void RepaintProgress() override {}

  std::vector<std::string> messages;
};

QLineEdit* Field(const TunerDialog& dialog, int controlId) {
  return qobject_cast<QLineEdit*>(dialog.Control(controlId));
}

void Click(const TunerDialog& dialog, int controlId) {
  QTest::mouseClick(qobject_cast<QPushButton*>(dialog.Control(controlId)), Qt::LeftButton);
}

QLabel* LabelWithText(const TunerDialog& dialog, const QString& text) {
  for (QLabel* label : dialog.findChildren<QLabel*>()) {
    if (label->text() == text) return label;
  }
  return nullptr;
}

// Writes every progress position the window's bar takes into events.
void RecordProgress(const TunerDialog& dialog, QStringList& events) {
  QObject::connect(qobject_cast<QProgressBar*>(dialog.Control(IDC_PROGRESS)),
                   &QProgressBar::valueChanged,
                   [&events](int value) { events << QStringLiteral("progress %1").arg(value); });
}

// A drive with lean trims in every fuel trim cell, so that a run changes VE
// bytes all over the table.
std::string LeanDrive() {
  std::vector<tools::PCMcommRecord> records;
  for (int cell = 0; cell < 16; ++cell) {
    for (int k = 0; k < 2; ++k) {
      tools::LogSample sample;
      sample.rpm = 800 + 800 * (cell % 4) + 50 * k;
      sample.mapKpa = 30.0 + 20.0 * (cell / 4) + 2.0 * k;
      sample.blmLeft = 132 + cell % 5 + k;
      sample.blmRight = 134 + cell % 3;
      sample.blmCell = cell;
      records.push_back(tools::PCMcommRecord::From(sample));
    }
  }
  return tools::PCMcommLog(records);
}

std::string ImageBytes() { return tools::CalibrationImage().Bytes(tools::ImageLayout::kBin); }

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

class TunerDialogTest : public QObject {
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
        options.maxChangeField()->setValue(2.5);
        options.maxTotalChangeBox()->setChecked(true);
        options.maxTotalChangeField()->setValue(7.5);
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
  }

  // Cells selected in the pass window are locked on the image at once; the
  // preview is planned again, and Apply and Process leave them as they were
  // until the window unlocks them.
  void cellsLockedInThePassWindowKeepTheirBytes() {
    TempDir dir;
    tools::WriteFile(dir.File("drive.txt"), LeanDrive());
    tools::WriteFile(dir.File("car.bin"), ImageBytes());
    ScriptedServices services;
    services.answers = {Q(dir.File("drive.txt")), Q(dir.File("car.bin"))};
    TunerDialog dialog(services);
    Click(dialog, IDC_CHOOSE_LOG);
    Click(dialog, IDC_CHOOSE_PCM);
    CapturedOutput output;
    Click(dialog, IDC_PREVIEW);
    PassWindow* pass = dialog.passWindow();
    QTest::mouseClick(pass->lockButton(), Qt::LeftButton);
    QCOMPARE(services.events, QStringList{"message Select the VE cells to lock in the grid first"});
    // 1200 and 1400 rpm (rows 4 and 5) by 50 and 55 kPa (columns 6 and 7).
    const auto select = [pass] {
      pass->veView()->selectionModel()->select(
          QItemSelection(pass->veModel().index(4, 6), pass->veModel().index(5, 7)),
          QItemSelectionModel::Select);
    };
    const auto marked = [pass](int row, int column) {
      return (pass->veModel().index(row, column).data(VeTableModel::kMarksRole).toInt() &
              VeTableModel::kLocked) != 0;
    };
    // The bytes of the block and of the cell above it, 1600 rpm at 50 kPa.
    const auto bytes = [&] {
      const auto now = tools::CalibrationImage::FromBytes(tools::ReadFile(dir.File("car.bin")),
                                                          tools::ImageLayout::kBin);
      return std::vector<int>{now.MainVe(4, 6), now.MainVe(4, 7), now.MainVe(5, 6),
                              now.MainVe(5, 7), now.MainVe(6, 6)};
    };
    const std::vector<int> first = bytes();
    select();
    QTest::mouseClick(pass->lockButton(), Qt::LeftButton);
    QVERIFY((CellLocks::Read(dir.File("car.bin")) ==
             std::vector<GridCell>{{1200, 50}, {1200, 55}, {1400, 50}, {1400, 55}}));
    QVERIFY(marked(4, 6) && marked(5, 7) && !marked(4, 5) && !marked(6, 6));
    QVERIFY(pass->summaryLabel()
                ->text()
                .section(QLatin1Char('\n'), 0, 0)
                .endsWith(QStringLiteral("; 4 locked cell(s) held back")));
    // Locks changed elsewhere after the preview: Apply refuses and previews
    // again.
    CellLocks::Change(dir.File("car.bin"), {{400, 20}}, {});
    services.events.clear();
    QTest::mouseClick(pass->applyButton(), Qt::LeftButton);
    QCOMPARE(services.events, QStringList{"message Since the preview, the locked cells of the "
                                          "image " +
                                          Q(dir.File("car.bin")) +
                                          " changed; nothing was written; the pass is previewed "
                                          "again."});
    QVERIFY(bytes()[4] == first[4] && marked(0, 0));
    CellLocks::Change(dir.File("car.bin"), {}, {{400, 20}});
    Click(dialog, IDC_PREVIEW);
    for (const bool apply : {true, false}) {
      if (apply) QTest::mouseClick(pass->applyButton(), Qt::LeftButton);
      if (!apply) Click(dialog, IDC_PROCESS);
      const std::vector<int> now = bytes();
      QVERIFY(std::equal(first.begin(), first.begin() + 4, now.begin()) && now[4] != first[4]);
    }
    // The history tab says which cells each pass's locks held.
    QCOMPARE(pass->progressModel().index(1, ProgressModel::kLimits).data().toString(),
             QStringLiteral("none; locks: 4 VE cell(s) held (1200 rpm: 50 55 kPa; 1400 rpm: 50 "
                            "55 kPa)"));
    select();
    QTest::mouseClick(pass->unlockButton(), Qt::LeftButton);
    QVERIFY(CellLocks::Read(dir.File("car.bin")).empty() && !marked(4, 6));
    const int before = bytes()[0];
    Click(dialog, IDC_PROCESS);
    QVERIFY(bytes()[0] != before);
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
    Click(dialog, IDC_CHOOSE_LOG);
    Click(dialog, IDC_CHOOSE_PCM);
    Click(dialog, IDC_PROCESS);
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

  // The pass window opens within the screen (a 1366 by 768 laptop's too);
  // shrunk to 800 by 560 its fuel trim table shows every number whole and
  // its warnings wrap. Compare with... and the history tab's Compare show the
  // difference; a failure comes in a box with the program's title.
  void passWindowFitsAndCompares() {
    TempDir dir;
    tools::WriteFile(dir.File("drive.txt"), LeanDrive());
    const std::string image = ImageBytes();
    tools::WriteFile(dir.File("car.bin"), image);
    tools::WriteFile(dir.File("stock.bin"), image);
    ScriptedServices services;
    services.answers = {Q(dir.File("drive.txt")), Q(dir.File("car.bin"))};
    TunerDialog dialog(services);
    dialog.show();
    Click(dialog, IDC_CHOOSE_LOG);
    Click(dialog, IDC_CHOOSE_PCM);
    CapturedOutput output;
    Click(dialog, IDC_PROCESS);
    PassWindow* pass = dialog.passWindow();
    QVERIFY(pass && pass->isVisible());

    const QRect screen = pass->screen()->availableGeometry();
    QVERIFY2(screen.contains(pass->geometry()), qPrintable(QStringLiteral("%1x%2 on %3x%4")
                                                               .arg(pass->width())
                                                               .arg(pass->height())
                                                               .arg(screen.width())
                                                               .arg(screen.height())));
    const QRect laptop(0, 0, 1366, 768 - 32);
    const QRect fitted = FittedGeometry(PassWindow::kWantedSize, laptop);
    QVERIFY(laptop.contains(fitted.adjusted(-kFrameWidth / 2, -(kFrameHeight - kFrameWidth / 2),
                                            kFrameWidth / 2, kFrameWidth / 2)));
    QVERIFY(pass->minimumSizeHint().width() <= 800 && pass->minimumSizeHint().height() <= 560);

    pass->resize(800, 560);
    pass->tabs()->setCurrentIndex(0);
    pass->warningList()->addItem(QStringLiteral("A long warning ").repeated(20));
    QApplication::processEvents();
    QCOMPARE(pass->size(), QSize(800, 560));
    const QAbstractItemView* trim = pass->trimView();
    for (int row = 0; row < trim->model()->rowCount(); ++row) {
      for (int column = 0; column < trim->model()->columnCount(); ++column) {
        const QModelIndex index = trim->model()->index(row, column);
        const QRect shown = trim->visualRect(index);
        QVERIFY2(shown.width() >= trim->sizeHintForIndex(index).width() &&
                     shown.height() >= trim->sizeHintForIndex(index).height() &&
                     trim->viewport()->rect().contains(shown),
                 qPrintable(index.data().toString() +
                            QStringLiteral(" shown %1x%2 at %3,%4 of %5x%6, needs %7x%8")
                                .arg(shown.width())
                                .arg(shown.height())
                                .arg(shown.x())
                                .arg(shown.y())
                                .arg(trim->viewport()->width())
                                .arg(trim->viewport()->height())
                                .arg(trim->sizeHintForIndex(index).width())
                                .arg(trim->sizeHintForIndex(index).height())));
      }
    }
    QVERIFY(pass->warningList()->wordWrap());
    QCOMPARE(pass->warningList()->horizontalScrollBar()->maximum(), 0);

    // Compare with the untouched copy: exactly the cells the pass changed.
    services.answers = {Q(dir.File("stock.bin"))};
    QTest::mouseClick(pass->compareButton(), Qt::LeftButton);
    CompareWindow* compare = dialog.compareWindow();
    QVERIFY(compare && compare->isVisible());
    QVERIFY(screen.contains(compare->geometry()));
    // Every cell the model shows changed is counted in the summary, and
    // the pass changed some.
    auto summarised = [compare] {
      int differing = 0;
      for (int row = 0; row < 25; ++row) {
        for (int column = 0; column < 17; ++column) {
          const QModelIndex cell = compare->model().index(row, column);
          differing += cell.data(VeTableModel::kChangeRole).toDouble() != 0.0 ? 1 : 0;
        }
      }
      return differing > 0 && compare->summaryLabel()->text().startsWith(
                                  QStringLiteral("%1 VE cell(s) differ").arg(differing));
    };
    QVERIFY2(summarised(), qPrintable(compare->summaryLabel()->text()));
    QVERIFY(compare->sourcesLabel()->text().contains(Q(dir.File("stock.bin"))));

    // The history tab: the image before the pass against the image now.
    pass->progressView()->selectRow(0);
    QVERIFY(pass->compareEntryButton()->isEnabled());
    QTest::mouseClick(pass->compareEntryButton(), Qt::LeftButton);
    QVERIFY(compare->sourcesLabel()->text().contains(QStringLiteral("before history entry #1")));
    QVERIFY2(summarised(), qPrintable(compare->summaryLabel()->text()));

    // A failure is said in a box whose caption is the program's, whatever
    // the application object is called.
    const QString name = QApplication::applicationName();
    QApplication::setApplicationName(QStringLiteral("elsewhere"));
    services.events.clear();
    services.answers = {Q(dir.File("missing.bin"))};
    QTest::mouseClick(pass->compareButton(), Qt::LeftButton);
    QApplication::setApplicationName(name);
    QCOMPARE(services.events,
             QStringList{"error Unable to open file " + Q(dir.File("missing.bin"))});
    QCOMPARE(services.boxCaption, QStringLiteral("Trimwright"));
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

QTEST_MAIN(trimwright::TunerDialogTest)
#include "TunerDialogTest.moc"
