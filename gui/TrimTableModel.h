// The fuel trim table of a pass for Qt's views: the 4 by 4 cells (rows by
// MAP, highest first; columns by rpm) and a fifth row holding the idle cell,
// each with its record count and mean left and right BLM, coloured by how far
// the BLMs lie from the target (warm above it, cool below). Holds a copy of
// the plan's statistics; needs no widget.
#ifndef TRIMWRIGHT_GUI_TRIMTABLEMODEL_H_
#define TRIMWRIGHT_GUI_TRIMTABLEMODEL_H_

#include <QAbstractTableModel>
#include <QColor>
#include <optional>
#include <vector>

#include "calibration/PassPlan.h"

namespace trimwright {

class TrimTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kBands = 4;

  explicit TrimTableModel(QObject* parent = nullptr);

  void SetPlan(const PassPlan& plan);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // The colour of a cell whose mean BLMs lie this far above (positive) or
  // below the target, in counts: neutral within 1, full at 8 or more.
  static QColor DistanceColor(double counts);

 private:
  // The statistics at a view position; nothing for the empty places of the
  // idle row.
  std::optional<TrimCellStats> At(const QModelIndex& index) const;

  bool HeldBack(const TrimCellStats& cell) const;

  std::vector<TrimCellStats> m_cells;
  TrimCellStats m_idle;
  std::int32_t m_target = 0;
  std::vector<std::int32_t> m_heldBack;
  std::int32_t m_minRecords = 0;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_TRIMTABLEMODEL_H_
