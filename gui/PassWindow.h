// The pass window: a resizable window beside the main one that shows one pass
// (a preview, or what Process wrote): the VE table as a coloured grid
// switchable between old VE, new VE and change, the fuel trim table, a
// one-line summary, the pass's warnings, and the history of the image as a
// chart of the trims' progress with its table. Cells selected in the grid
// (mouse or keyboard) can be locked or unlocked on the image, which the main
// window does. For a preview, Apply asks the main window to write exactly the
// pass shown; Compare asks it to compare another image (A) with this one (B).
// Tab walks every control, Escape closes the window, and Enter presses
// nothing: Apply takes a click or Space. The window owns its models; the
// widgets belong to its widget tree.
#ifndef TRIMWRIGHT_GUI_PASSWINDOW_H_
#define TRIMWRIGHT_GUI_PASSWINDOW_H_

#include <QSize>
#include <QWidget>
#include <string>
#include <vector>

#include "calibration/PassPlan.h"
#include "gui/ProgressModel.h"
#include "gui/TrimTableModel.h"
#include "gui/VeTableModel.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSplitter;
class QTableView;
class QTabWidget;

namespace trimwright {

class ProgressChart;
class RecordScatterView;

class PassWindow : public QWidget {
  Q_OBJECT

 public:
  // The size the window opens at where the screen has room for it.
  static constexpr QSize kWantedSize{1280, 800};

  explicit PassWindow(QWidget* parent = nullptr);

  // Shows plan; a preview offers Apply, a written pass does not. Reads the
  // history of the plan's image for the history tab.
  void ShowPass(const PassPlan& plan, bool preview);
  // The preview shown can no longer be written (its inputs are gone): Apply
  // is off and the window says why, until the next pass is shown.
  void ShowPreviewLost();

  // The VE cells selected in the grid, ascending; and the image shown.
  std::vector<GridCell> SelectedCells() const;
  const std::string& imagePath() const { return m_imagePath; }
  QTableView* veView() const { return m_veView; }
  QPushButton* lockButton() const { return m_lock; }
  QPushButton* unlockButton() const { return m_unlock; }

  // The one-line summary of a plan: cells changed, the largest rise and
  // fall with their cells, the records used (by the fuel trim cells and by
  // the idle cell), checksum old and new.
  static QString Summary(const PassPlan& plan);

  VeTableModel& veModel() { return m_veModel; }
  ProgressModel& progressModel() { return m_progressModel; }
  QPushButton* applyButton() const { return m_apply; }
  QPushButton* compareButton() const { return m_compare; }
  QPushButton* compareEntryButton() const { return m_compareEntry; }
  QLabel* summaryLabel() const { return m_summary; }
  QLabel* historyNote() const { return m_historyNote; }
  QListWidget* warningList() const { return m_warnings; }
  QComboBox* showChoice() const { return m_show; }
  QTableView* trimView() const { return m_trimView; }
  QTableView* progressView() const { return m_progressView; }
  ProgressChart* progressChart() const { return m_chart; }
  QTabWidget* tabs() const { return m_tabs; }
  RecordScatterView* recordsView() const { return m_records; }

 signals:
  void applyRequested();
  // Lock (or unlock) the selected cells on the image shown.
  void lockRequested(bool lock);
  // Compare image a (the older, or the one chosen) with b (the image the
  // window shows); an empty a asks the user for it.
  void compareRequested(const std::string& a, const std::string& b);

 private:
  QWidget* BuildHistoryTab();
  // Keeps every cell of the fuel trim table wide and high enough for its
  // numbers, whatever the window's size.
  void FitTrimTable();
  void ShowHistory(const std::string& imagePath);
  void OnCompareEntry();

  VeTableModel m_veModel;
  TrimTableModel m_trimModel;
  ProgressModel m_progressModel;
  std::string m_imagePath;
  QString m_summaryText;  // as ShowPass set it
  QComboBox* m_show = nullptr;
  QTableView* m_veView = nullptr;
  QTableView* m_trimView = nullptr;
  QTabWidget* m_tabs = nullptr;
  QLabel* m_summary = nullptr;
  QListWidget* m_warnings = nullptr;
  ProgressChart* m_chart = nullptr;
  QTableView* m_progressView = nullptr;
  QLabel* m_historyNote = nullptr;
  QPushButton* m_compareEntry = nullptr;
  QPushButton* m_compare = nullptr;
  RecordScatterView* m_records = nullptr;
  QPushButton* m_apply = nullptr;
  QPushButton* m_lock = nullptr;
  QPushButton* m_unlock = nullptr;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_PASSWINDOW_H_
