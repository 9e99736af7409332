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
  if (marks & VeTableModel::kOverflow) {
    painter->setPen(QPen(QColor(200, 0, 0), 2));
    painter->drawRect(box.adjusted(1, 1, -1, -1));
    painter->drawText(box.adjusted(3, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("*"));
  }
  painter->restore();
}

}  // namespace trimwright
