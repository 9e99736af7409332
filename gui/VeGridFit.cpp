#include "gui/VeGridFit.h"

#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <algorithm>

#include "gui/VeTableModel.h"

namespace trimwright {

VeGridFit::VeGridFit(QTableView& view, VeTableModel& model)
    : QObject(&view), m_view(view), m_model(model) {
  m_view.viewport()->installEventFilter(this);
  connect(&m_model, &QAbstractItemModel::modelReset, this, &VeGridFit::Refit);
  connect(&m_model, &QAbstractItemModel::dataChanged, this, &VeGridFit::Refit);
}

int VeGridFit::NeededWidth(bool compact) const {
  QFont italic = m_view.font();
  italic.setItalic(true);
  // Measured as the view's delegate measures a cell, by its style.
  QStyleOptionViewItem option;
  option.initFrom(&m_view);
  option.widget = &m_view;
  option.features |= QStyleOptionViewItem::HasDisplay;
  option.displayAlignment = Qt::AlignRight | Qt::AlignVCenter;
  option.textElideMode = m_view.textElideMode();
  int widest = 0;
  for (int row = 0; row < m_model.rowCount(); ++row) {
    for (int column = 0; column < m_model.columnCount(); ++column) {
      const QModelIndex index = m_model.index(row, column);
      option.text = m_model.TextAt(index, compact);
      if (option.text.isEmpty()) continue;
      option.font = index.data(Qt::FontRole).value<QFont>().italic() ? italic : m_view.font();
      option.fontMetrics = QFontMetrics(option.font);
      widest = std::max(widest,
                        m_view.style()
                            ->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), &m_view)
                            .width());
    }
  }
  // A cell is its column less the grid line.
  return widest + (m_view.showGrid() ? 1 : 0);
}

void VeGridFit::Refit() {
  if (m_fitting || m_model.columnCount() == 0) return;
  m_fitting = true;
  const int tenths = NeededWidth(false);
  const int available = m_view.viewport()->width() / m_model.columnCount();
  const bool compact = tenths > available;
  m_model.SetCompact(compact);
  QHeaderView* header = m_view.horizontalHeader();
  header->setMinimumSectionSize(std::max(compact ? NeededWidth(true) : tenths,
                                         header->fontMetrics().horizontalAdvance("100") + 8));
  m_fitting = false;
}

bool VeGridFit::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_view.viewport() && event->type() == QEvent::Resize) Refit();
  return QObject::eventFilter(watched, event);
}

}  // namespace trimwright
