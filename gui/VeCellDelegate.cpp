#include "gui/VeCellDelegate.h"

#include <QHeaderView>
#include <QPainter>
#include <QPainterPath>
#include <QTableView>

#include "gui/VeGridFit.h"
#include "gui/VeTableModel.h"

namespace trimwright {

namespace {

// How much of the selection colour lies over a selected cell's own.
constexpr int kSelectionTint = 70;

}  // namespace

void VeCellDelegate::Install(QTableView& view, bool selectable) {
  view.setItemDelegate(new VeCellDelegate(&view));
  view.setSelectionMode(selectable ? QAbstractItemView::ExtendedSelection
                                   : QAbstractItemView::NoSelection);
  view.setSelectionBehavior(QAbstractItemView::SelectItems);
  view.setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Tab moves to the next control, as everywhere else; the arrows move
  // within the grid.
  view.setTabKeyNavigation(false);
  view.horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  view.verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  view.verticalHeader()->setMinimumSectionSize(view.fontMetrics().height() + 2);
  auto* fit = new VeGridFit(view, *qobject_cast<VeTableModel*>(view.model()));
  fit->Refit();
}

void VeCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
  // The style would paint a selected cell in the selection colour alone,
  // hiding the cell's own; it is tinted and framed below instead.
  QStyleOptionViewItem plain = option;
  const bool selected = option.state & QStyle::State_Selected;
  plain.state &= ~QStyle::State_Selected;
  QStyledItemDelegate::paint(painter, plain, index);
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
  if (selected) {
    QColor highlight = option.palette.color(QPalette::Active, QPalette::Highlight);
    painter->setPen(QPen(highlight, 2));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(box.adjusted(1, 1, 0, 0));
    highlight.setAlpha(kSelectionTint);
    painter->fillRect(box.adjusted(2, 2, -1, -1), highlight);
  }
  painter->restore();
}

}  // namespace trimwright
