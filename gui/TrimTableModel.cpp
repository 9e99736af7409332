#include "gui/TrimTableModel.h"

#include "gui/VeTableModel.h"

#include <algorithm>
#include <cmath>

namespace trimwright {

namespace {

constexpr double kNeutralCounts = 1.0;
constexpr double kFullCounts = 8.0;

QString Mean(double value) { return QString::number(value, 'f', 1); }

}  // namespace

TrimTableModel::TrimTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void TrimTableModel::SetPlan(const PassPlan& plan) {
  beginResetModel();
  m_cells = plan.trimCells;
  m_idle = plan.idleCell;
  m_target = plan.targetBlm;
  m_heldBack = plan.heldBackCells;
  m_minRecords = plan.limits.minRecords.value_or(0);
  endResetModel();
}

bool TrimTableModel::HeldBack(const TrimCellStats& cell) const {
  return std::find(m_heldBack.begin(), m_heldBack.end(), cell.number) != m_heldBack.end();
}

int TrimTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || m_cells.size() != kBands * kBands ? 0 : kBands + 1;
}

int TrimTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() || m_cells.size() != kBands * kBands ? 0 : kBands;
}

std::optional<TrimCellStats> TrimTableModel::At(const QModelIndex& index) const {
  if (index.row() == kBands) {
    if (index.column() == 0) return m_idle;
    return std::nullopt;
  }
  const int mapBand = kBands - 1 - index.row();
  return m_cells[static_cast<std::size_t>(mapBand * kBands + index.column())];
}

QColor TrimTableModel::DistanceColor(double counts) {
  static const QColor kNeutral(246, 246, 246);
  static const QColor kAbove(226, 88, 34);
  static const QColor kBelow(44, 123, 210);
  const double t =
      std::clamp((std::abs(counts) - kNeutralCounts) / (kFullCounts - kNeutralCounts), 0.0, 1.0);
  const QColor& to = counts >= 0.0 ? kAbove : kBelow;
  auto channel = [t](int a, int b) { return static_cast<int>(a + (b - a) * t + 0.5); };
  return QColor(channel(kNeutral.red(), to.red()), channel(kNeutral.green(), to.green()),
                channel(kNeutral.blue(), to.blue()));
}

QVariant TrimTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return QVariant();
  const std::optional<TrimCellStats> cell = At(index);
  if (!cell) return QVariant();
  // The bank farther from the target is the one that decides.
  const double left = cell->left.avg - m_target;
  const double right = cell->right.avg - m_target;
  const double distance = std::abs(left) >= std::abs(right) ? left : right;
  switch (role) {
    case Qt::DisplayRole: {
      QString text = QStringLiteral("%1: %2 rec").arg(cell->number).arg(cell->records);
      if (cell->records > 0) {
        text += QStringLiteral("\n%1 / %2").arg(Mean(cell->left.avg), Mean(cell->right.avg));
      }
      if (HeldBack(*cell)) text += QStringLiteral("\nheld back");
      return text;
    }
    case Qt::TextAlignmentRole:
      return static_cast<int>(Qt::AlignCenter);
    case Qt::BackgroundRole:
      // A cell that moves nothing is grey, whatever its trims say.
      return cell->records > 0 && !HeldBack(*cell) ? DistanceColor(distance)
                                                   : QColor(230, 230, 230);
    case Qt::ToolTipRole: {
      QString tip = QStringLiteral("cell %1: map %2 - %3 kPa, rpm %4 - %5\n%6 record(s)")
                        .arg(cell->number)
                        .arg(QString::number(cell->mapLow, 'g', 6))
                        .arg(QString::number(cell->mapHigh, 'g', 6))
                        .arg(cell->rpmLow)
                        .arg(cell->rpmHigh)
                        .arg(cell->records);
      if (cell->records > 0) {
        tip += QStringLiteral("\nleft BLM %1 / %2 / %3\nright BLM %4 / %5 / %6 (min / mean / max)")
                   .arg(cell->left.min)
                   .arg(QString::number(cell->left.avg, 'g', 6))
                   .arg(cell->left.max)
                   .arg(cell->right.min)
                   .arg(QString::number(cell->right.avg, 'g', 6))
                   .arg(cell->right.max);
      }
      if (HeldBack(*cell)) {
        tip += QStringLiteral("\nheld back: fewer than %1 records, so it counts as no correction")
                   .arg(m_minRecords);
      }
      return tip;
    }
    default:
      return QVariant();
  }
}

QVariant TrimTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || m_cells.size() != kBands * kBands) return QVariant();
  if (orientation == Qt::Horizontal) {
    const TrimCellStats& cell = m_cells[static_cast<std::size_t>(section)];
    return QStringLiteral("%1-%2 rpm").arg(cell.rpmLow).arg(cell.rpmHigh);
  }
  if (section == kBands) return QStringLiteral("idle");
  const TrimCellStats& cell = m_cells[static_cast<std::size_t>((kBands - 1 - section) * kBands)];
  return QStringLiteral("%1-%2 kPa")
      .arg(QString::number(cell.mapLow, 'g', 6), QString::number(cell.mapHigh, 'g', 6));
}

}  // namespace trimwright
