// What the window's Qt Test tests share: a scripted DialogServices that
// answers the file choosers, message boxes, context menu and About box, so
// that no test ever waits in a modal loop; a run window that records its
// messages; and the made-up drive and image the tests tune.
#ifndef TRIMWRIGHT_TESTS_GUI_GUITESTSUPPORT_H_
#define TRIMWRIGHT_TESTS_GUI_GUITESTSUPPORT_H_

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFileInfo>
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

namespace trimwright::guitest {

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
  QStringList chooserFolders;  // the folder each chooser opened in
  QStringList proposedNames;   // the name each new file's chooser proposed
  QStringList menuItems;
  QMessageBox::StandardButtons boxButtons;
  QString boxCaption;
  AboutDialog* aboutShown = nullptr;  // valid only inside RunModal
  QStringList aboutContents;
  // The answer to a box that asks Yes or Cancel, and the text of its Yes button.
  int question = QMessageBox::Cancel;
  QString yesText;

  // Runs while a file chooser is up, as a real one takes the keys from the
  // window that opened it.
  std::function<void()> whileChoosing;
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
    if (whileChoosing) whileChoosing();
    chooserFilters << chooser.nameFilters();
    chooserFolders << chooser.directory().absolutePath();
    // The log chooser takes several files, the image chooser one; the
    // capture's chooser names a new file, never offering to replace one.
    const bool open = chooser.acceptMode() == QFileDialog::AcceptOpen &&
                      (chooser.fileMode() == QFileDialog::ExistingFile ||
                       chooser.fileMode() == QFileDialog::ExistingFiles);
    const bool save = chooser.acceptMode() == QFileDialog::AcceptSave &&
                      chooser.fileMode() == QFileDialog::AnyFile &&
                      chooser.testOption(QFileDialog::DontConfirmOverwrite);
    if (!open && !save) events << QStringLiteral("chooser neither open nor a new file's");
    if (save) proposedNames << QFileInfo(chooser.selectedFiles().value(0)).fileName();
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

inline QLineEdit* Field(const TunerDialog& dialog, int controlId) {
  return qobject_cast<QLineEdit*>(dialog.Control(controlId));
}

inline void Click(const TunerDialog& dialog, int controlId) {
  QTest::mouseClick(qobject_cast<QPushButton*>(dialog.Control(controlId)), Qt::LeftButton);
}

inline QLabel* LabelWithText(const TunerDialog& dialog, const QString& text) {
  for (QLabel* label : dialog.findChildren<QLabel*>()) {
    if (label->text() == text) return label;
  }
  return nullptr;
}

// Writes every progress position the window's bar takes into events.
inline void RecordProgress(const TunerDialog& dialog, QStringList& events) {
  QObject::connect(qobject_cast<QProgressBar*>(dialog.Control(IDC_PROGRESS)),
                   &QProgressBar::valueChanged,
                   [&events](int value) { events << QStringLiteral("progress %1").arg(value); });
}

// A drive with lean trims in every fuel trim cell, so that a run changes VE
// bytes all over the table.
inline std::string LeanDrive() {
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

inline std::string ImageBytes() {
  return tools::CalibrationImage().Bytes(tools::ImageLayout::kBin);
}

inline QString Q(const std::string& text) { return QString::fromStdString(text); }

// A preview of the lean drive over a fresh image, from a window that shows
// its boxes through services.
class Previewed {
 public:
  Previewed() {
    tools::WriteFile(dir.File("drive.txt"), LeanDrive());
    tools::WriteFile(dir.File("car.bin"), ImageBytes());
    services.answers = {Q(dir.File("drive.txt")), Q(dir.File("car.bin"))};
    dialog = std::make_unique<TunerDialog>(services);
    dialog->show();
    Click(*dialog, IDC_CHOOSE_LOG);
    Click(*dialog, IDC_CHOOSE_PCM);
    Click(*dialog, IDC_PREVIEW);
    pass = dialog->passWindow();
  }

  TempDir dir;
  CapturedOutput output;
  ScriptedServices services;
  std::unique_ptr<TunerDialog> dialog;
  PassWindow* pass = nullptr;
};

}  // namespace trimwright::guitest

#endif  // TRIMWRIGHT_TESTS_GUI_GUITESTSUPPORT_H_
