// A window beside the main one that shows the comparison of two calibration
// images: what was compared, the VE difference as the pass window's coloured
// grid (switchable to A's or B's VE), the cells that differ with the largest
// rise and fall, and the other bytes that differ. The window owns its model;
// the widgets belong to its widget tree.
#ifndef TRIMWRIGHT_GUI_COMPAREWINDOW_H_
#define TRIMWRIGHT_GUI_COMPAREWINDOW_H_

#include <QWidget>

#include "app/ImageCompare.h"
#include "gui/CompareTableModel.h"

class QComboBox;
class QLabel;
class QTableView;

namespace trimwright {

class CompareWindow : public QWidget {
  Q_OBJECT

 public:
  explicit CompareWindow(QWidget* parent = nullptr);

  void ShowComparison(const ImageComparison& comparison);

  CompareTableModel& model() { return m_model; }
  QLabel* summaryLabel() const { return m_summary; }
  QLabel* sourcesLabel() const { return m_sources; }
  QLabel* othersLabel() const { return m_others; }

 private:
  CompareTableModel m_model;
  QComboBox* m_show = nullptr;
  QTableView* m_view = nullptr;
  QLabel* m_sources = nullptr;
  QLabel* m_summary = nullptr;
  QLabel* m_others = nullptr;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_COMPAREWINDOW_H_
