// The Records tab of the pass window: the sampled records of a pass, rpm
// against MAP, coloured by fate over the VE grid's lines, with the fuel trim
// cells' edges drawn. Hovering a VE cell here, or in the VE table (which
// calls HighlightCell), marks its records and names their counts. Qt Charts
// draws the axes, the grid and the legend; the records are drawn in one go by
// an item of the chart's scene, so that tens of thousands stay quick. Owns
// its model; the chart and its items belong to the view.
#ifndef TRIMWRIGHT_GUI_RECORDSCATTERVIEW_H_
#define TRIMWRIGHT_GUI_RECORDSCATTERVIEW_H_

#include <QChartView>
#include <QPoint>
#include <array>
#include <optional>

#include "calibration/PassPlan.h"
#include "gui/RecordScatterModel.h"

class QScatterSeries;

namespace trimwright {

class RecordPointsItem;

class RecordScatterView : public QChartView {
  Q_OBJECT

 public:
  explicit RecordScatterView(QWidget* parent = nullptr);

  void SetPlan(const PassPlan& plan);
  // Marks the records of the VE cell at row and column and names their
  // counts above the plot; a row or column outside the grid clears the mark.
  void HighlightCell(int row, int column);
  std::optional<QPoint> highlightedCell() const { return m_cell; }
  const RecordScatterModel& model() const { return m_model; }

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void UpdateTitle();

  RecordScatterModel m_model;
  QScatterSeries* m_anchor = nullptr;  // holds no point; the series the axes and edges share
  std::array<QScatterSeries*, kRecordFates> m_legend{};  // empty, for the legend's entries
  RecordPointsItem* m_points = nullptr;
  std::optional<QPoint> m_cell;  // x the column, y the row
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_RECORDSCATTERVIEW_H_
