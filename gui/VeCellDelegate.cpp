#include "gui/VeCellDelegate.h"

#include <QHeaderView>
#include <QPainter>
#include <QPainterPath>
#include <QTableView>

#include "gui/VeTableModel.h"

namespace trimwright {

void VeCellDelegate::Install(QTableView& view) {
  view.setItemDelegate(new VeCellDelegate(&view));
  view.setSelectionMode(QAbstractItemView::NoSelection);
  view.setEditTriggers(QAbstractItemView::NoEditTriggers);
  const QFontMetrics metrics = view.fontMetrics();
  view.horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  view.verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  view.horizontalHeader()->setMinimumSectionSize(
      metrics.horizontalAdvance(QStringLiteral("-88.8")) + 4);
  view.verticalHeader()->setMinimumSectionSize(metrics.height() + 2);
}

void VeCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
  QStyledItemDelegate::paint(painter, option, index);
  const int marks = index.data(VeTableModel::kMarksRole).toInt();
  const QRect box = option.rect.adjusted(0, 0, -1, -1);
  painter->save();
  if (marks & VeTableModel::kUntuned) {
    painter->fillRect(box, QBrush(QColor(160, 160, 160), Qt::BDiagPattern));
  }
  if (marks & VeTableModel::kIdle) {
    const int side = std::max(5, box.height() / 3);
    QPainterPath corner;
    corner.moveTo(box.topRight());
    corner.lineTo(box.topRight() - QPoint(side, 0));
    corner.lineTo(box.topRight() + QPoint(0, side));
    corner.closeSubpath();
    painter->fillPath(corner, QColor(40, 40, 40));
  }
  if (marks & VeTableModel::kCapped) {
    painter->fillRect(QRect(box.left(), box.bottom() - 2, box.width(), 3), QColor(90, 60, 150));
  }
  if (marks & VeTableModel::kLocked) {
    // A small padlock in the lower left corner: shackle over body.
    const int side = std::max(6, box.height() / 3);
    const QRect body(box.left() + 2, box.bottom() - side + 1, side, side * 2 / 3);
    painter->setPen(QPen(QColor(30, 30, 30), 1.5));
    painter->drawArc(
        QRect(body.left() + side / 5, body.top() - side / 2, side * 3 / 5, side * 2 / 3), 0,
        180 * 16);
    painter->fillRect(body, QColor(30, 30, 30));
  }
  if (marks & VeTableModel::kOverflow) {
    painter->setPen(QPen(QColor(200, 0, 0), 2));
    painter->drawRect(box.adjusted(1, 1, -1, -1));
    painter->drawText(box.adjusted(3, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("*"));
  }
  painter->restore();
}

}  // namespace trimwright
