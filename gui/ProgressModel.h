// The progress of an image across its passes for Qt's views and the chart:
// one row per history entry, oldest first (time, what it was, logs,
// records, target, the trims' distance from it for both banks and each, the
// cells changed, how the image stands to it, the limits and locks a pass ran
// with), and the points the chart draws.
// Holds a copy of the progress read from the history; needs no widget.
#ifndef TRIMWRIGHT_GUI_PROGRESSMODEL_H_
#define TRIMWRIGHT_GUI_PROGRESSMODEL_H_

#include <QAbstractTableModel>
#include <QList>
#include <QPointF>
#include <vector>

#include "app/PassProgress.h"

namespace trimwright {

class ProgressModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column {
    kNumber,
    kTime,
    kEntry,
    kLogs,
    kRecords,
    kTarget,
    kMean,
    kWorst,
    kLeft,
    kRight,
    kCellsChanged,
    kImage,
    kLimits,
    kColumnCount
  };
  enum class Bank { kBoth, kLeft, kRight };
  // Trims this close to the target, in counts, are on it: the chart shades
  // the band.
  static constexpr double kTargetBand = 1.0;

  explicit ProgressModel(QObject* parent = nullptr);

  void SetProgress(std::vector<ProgressPoint> points);
  const std::vector<ProgressPoint>& points() const { return m_points; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // The chart's points, x the entry's number and y the mean distance of the
  // bank: every pass whose distance is known; those later undone apart.
  QList<QPointF> Line(Bank bank) const;
  QList<QPointF> Undone(Bank bank) const;
  // The numbers of the undo entries and of the damaged ones.
  QList<double> Undos() const;
  QList<double> Damaged() const;
  // The first and last entry number, and the largest distance any line
  // reaches (at least twice the target band), for the chart's axes.
  double FirstNumber() const;
  double LastNumber() const;
  double HighestDistance() const;

 private:
  QString Text(const ProgressPoint& point, int column) const;

  std::vector<ProgressPoint> m_points;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_PROGRESSMODEL_H_
