// The records of a pass for the Records tab's scatter plot, rpm against MAP:
// the sampled records as points by fate, the VE grid's band edges and the
// fuel trim cells' edges to draw over them, and for any VE cell its sampled
// records and the exact counts of its records by fate. Holds the plan's
// shared sample (never a copy of it) and a few hundred numbers; needs no
// widget, so it is tested without a screen.
#ifndef TRIMWRIGHT_GUI_RECORDSCATTERMODEL_H_
#define TRIMWRIGHT_GUI_RECORDSCATTERMODEL_H_

#include <QColor>
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "calibration/PassPlan.h"
#include "calibration/RecordSample.h"

namespace trimwright {

class RecordScatterModel {
 public:
  // The plot's far ends: past the band of the 7000 rpm row, and the highest
  // MAP a record may hold.
  static constexpr double kTopRpm = 7250.0;
  static constexpr double kTopKpa = 105.0;

  void SetPlan(const PassPlan& plan);

  // The sampled records of one fate, x the rpm and y the MAP in kPa.
  const QList<QPointF>& Points(RecordFate fate) const {
    return m_points[static_cast<std::size_t>(fate)];
  }
  // The sampled records whose rpm and MAP lie in the VE cell's band.
  QList<QPointF> PointsIn(int row, int column) const;

  // The edges of the VE grid's bands from 0 to the far ends: 26 in rpm
  // (rows) and 18 in kPa (columns); row k lies between rpm edges k and k + 1.
  static QList<double> RpmEdges();
  static QList<double> KpaEdges();
  // The labels of the rows and columns, as the VE table shows them.
  static int RowLabel(int row);
  static int ColumnLabel(int column);
  // The three inner rpm and kPa boundaries of the fuel trim cells.
  const QList<double>& TrimRpmEdges() const { return m_trimRpmEdges; }
  const QList<double>& TrimKpaEdges() const { return m_trimKpaEdges; }

  // The VE cell (x the column, y the row) whose band holds the point; none
  // outside the plot.
  static std::optional<QPoint> CellAt(double rpm, double kpa);
  // Every record of the VE cell counted by fate, in up to three short lines:
  // the total; the used ones, parted as the grid parts them, by the fuel trim
  // cells and by the idle cell; the others by fate.
  QString CellText(int row, int column) const;

  static QString FateName(RecordFate fate);
  static QColor FateColor(RecordFate fate);
  // The fate's short name with the number of records it took: "used:
  // 1,234".
  QString LegendText(RecordFate fate) const;
  // What the plot shows of the records: all of them or every n-th, and the
  // records the reader rejected, which have no place in it.
  QString Note() const;

 private:
  std::shared_ptr<const RecordSample> m_sample;
  std::array<QList<QPointF>, kRecordFates> m_points;
  QList<double> m_trimRpmEdges;
  QList<double> m_trimKpaEdges;
  std::uint64_t m_rejected = 0;
  // The plan's hits and idle hits of each VE cell, row by row.
  std::vector<std::array<std::uint32_t, 2>> m_hits;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_RECORDSCATTERMODEL_H_
