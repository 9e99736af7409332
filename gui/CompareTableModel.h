// The VE difference between two calibration images for the pass window's
// grid and delegate: the VE table model shown as if a pass had taken the
// first image to the second (change in percent, A's VE, B's VE), each cell's
// tooltip giving both bytes. Missing cells (an image too short for the 7000
// rpm row) are blank and hatched. Holds a copy of the comparison; no widget.
#ifndef TRIMWRIGHT_GUI_COMPARETABLEMODEL_H_
#define TRIMWRIGHT_GUI_COMPARETABLEMODEL_H_

#include <vector>

#include "app/ImageCompare.h"
#include "gui/VeTableModel.h"

namespace trimwright {

class CompareTableModel : public VeTableModel {
  Q_OBJECT

 public:
  explicit CompareTableModel(QObject* parent = nullptr);

  void SetComparison(const ImageComparison& comparison);

  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  std::vector<ComparedCell> m_cells;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_COMPARETABLEMODEL_H_
