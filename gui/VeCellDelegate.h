// Draws a VE cell of the pass window: the model's text and colours, then the
// cell's marks, so that overflowed cells (red frame and "*"), idle-blended
// cells (a corner triangle), capped cells (a bar at the foot) and rows beyond
// the rpm limit (hatched) stand out whatever the colour scale shows; a
// selected cell keeps its colours under a tint and a frame of the selection
// colour.
#ifndef TRIMWRIGHT_GUI_VECELLDELEGATE_H_
#define TRIMWRIGHT_GUI_VECELLDELEGATE_H_

#include <QStyledItemDelegate>

class QTableView;

namespace trimwright {

class VeCellDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  // Sets view up to show a VE grid: this delegate, no editing, cells
  // selected by mouse and keyboard when selectable (any set of them: drag,
  // Ctrl, Shift, Shift with the arrows), Tab leaving the grid, the cells
  // stretched to fill the view but never narrower or lower than their numbers
  // (VeGridFit; the view scrolls instead). REQUIRES: the view's model is a
  // VeTableModel.
  static void Install(QTableView& view, bool selectable);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_VECELLDELEGATE_H_
