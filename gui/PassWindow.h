// The pass window: a resizable window beside the main one that shows one pass
// (a preview, or what Process wrote): the VE table as a coloured grid
// switchable between old VE, new VE and change, the fuel trim table, a
// one-line summary, the pass's warnings and the history of the image. Cells
// selected in the grid can be locked or unlocked on the image, which the main
// window does. For a preview, Apply asks the
// main window to write exactly the pass shown. The window owns its models; the widgets belong to
// its widget tree.
#ifndef TRIMWRIGHT_GUI_PASSWINDOW_H_
#define TRIMWRIGHT_GUI_PASSWINDOW_H_

#include <QWidget>
#include <string>
#include <vector>

#include "calibration/PassPlan.h"
#include "gui/TrimTableModel.h"
#include "gui/VeTableModel.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace trimwright {

class PassWindow : public QWidget {
  Q_OBJECT

 public:
  explicit PassWindow(QWidget* parent = nullptr);

  // Shows plan; a preview offers Apply, a written pass does not.
  void ShowPass(const PassPlan& plan, bool preview);

  // The VE cells selected in the grid, ascending; and the image shown.
  std::vector<GridCell> SelectedCells() const;
  const std::string& imagePath() const { return m_imagePath; }
  QTableView* veView() const { return m_veView; }
  QPushButton* lockButton() const { return m_lock; }
  QPushButton* unlockButton() const { return m_unlock; }

  // The one-line summary of a plan: cells changed, the largest rise and
  // fall with their cells, records used, checksum old and new.
  static QString Summary(const PassPlan& plan);

  VeTableModel& veModel() { return m_veModel; }
  QPushButton* applyButton() const { return m_apply; }
  QLabel* summaryLabel() const { return m_summary; }
  QListWidget* warningList() const { return m_warnings; }
  QComboBox* showChoice() const { return m_show; }
  QPlainTextEdit* historyView() const { return m_history; }

 signals:
  void applyRequested();
  // Lock (or unlock) the selected cells on the image shown.
  void lockRequested(bool lock);

 private:
  VeTableModel m_veModel;
  TrimTableModel m_trimModel;
  QComboBox* m_show = nullptr;
  QTableView* m_veView = nullptr;
  QTableView* m_trimView = nullptr;
  QLabel* m_summary = nullptr;
  QListWidget* m_warnings = nullptr;
  QPlainTextEdit* m_history = nullptr;
  QPushButton* m_apply = nullptr;
  QPushButton* m_lock = nullptr;
  QPushButton* m_unlock = nullptr;
  std::string m_imagePath;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_PASSWINDOW_H_
