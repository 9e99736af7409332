#include "gui/VeGridFit.h"

#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QTableView>
#include <algorithm>

#include "gui/VeTableModel.h"

namespace trimwright {

namespace {

// Room beside the text for the cell's marks (the overflow's "*").
constexpr int kMarkRoom = 4;

}  // namespace

VeGridFit::VeGridFit(QTableView& view, VeTableModel& model)
    : QObject(&view), m_view(view), m_model(model) {
  m_view.viewport()->installEventFilter(this);
  connect(&m_model, &QAbstractItemModel::modelReset, this, &VeGridFit::Refit);
  connect(&m_model, &QAbstractItemModel::dataChanged, this, &VeGridFit::Refit);
}

int VeGridFit::NeededWidth(bool compact) const {
  const QFont plain = m_view.font();
  QFont italic = plain;
  italic.setItalic(true);
  const QFontMetrics plainMetrics(plain);
  const QFontMetrics italicMetrics(italic);
  // The style's margin on each side of an item view's text.
  const int margin =
      m_view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &m_view) + 1;
  int widest = 0;
  for (int row = 0; row < m_model.rowCount(); ++row) {
    for (int column = 0; column < m_model.columnCount(); ++column) {
      const QModelIndex index = m_model.index(row, column);
      const QString text = m_model.TextAt(index, compact);
      if (text.isEmpty()) continue;
      const bool faint = index.data(Qt::FontRole).value<QFont>().italic();
      widest = std::max(widest, (faint ? italicMetrics : plainMetrics).horizontalAdvance(text));
    }
  }
  return widest + 2 * margin + kMarkRoom;
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
