// Draws a VE cell of the pass window: the model's text and colours, then the
// cell's marks, so that overflowed cells (red frame and "*"), idle-blended
// cells (a corner triangle), capped cells (a bar at the foot) and rows beyond
// the rpm limit (hatched) stand out whatever the colour scale shows.
#ifndef TRIMWRIGHT_GUI_VECELLDELEGATE_H_
#define TRIMWRIGHT_GUI_VECELLDELEGATE_H_

#include <QStyledItemDelegate>

namespace trimwright {

class VeCellDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_VECELLDELEGATE_H_
