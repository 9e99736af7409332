#include "gui/VeTableModel.h"

#include <QFont>
#include <algorithm>
#include <cmath>

#include "calibration/VEGrid.h"

namespace trimwright {

namespace {

constexpr int kRows = VEGrid::kRows;
constexpr int kColumns = VEGrid::kColumns;
// A change of this many percent or more gets the full colour.
constexpr double kFullColourPercent = 10.0;

QColor Mix(const QColor& from, const QColor& to, double t) {
  auto channel = [t](int a, int b) { return static_cast<int>(a + (b - a) * t + 0.5); };
  return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                channel(from.blue(), to.blue()));
}

QString Percent(double value) { return QString::number(value, 'f', 1); }

}  // namespace

VeTableModel::VeTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void VeTableModel::SetPlan(const PassPlan& plan) {
  beginResetModel();
  m_grid = plan.grid;
  m_locked = plan.limits.locked;
  m_veScale = plan.veScale;
  m_idleRecords = plan.idleCell.records;
  endResetModel();
}

void VeTableModel::SetLocked(const std::vector<GridCell>& locked) {
  m_locked = locked;
  if (!m_grid.empty()) {
    emit dataChanged(index(0, 0), index(kRows - 1, kColumns - 1), {kMarksRole, Qt::ToolTipRole});
  }
}

GridCell VeTableModel::CellAt(const QModelIndex& index) const {
  const VECellPlan& cell = Cell(index);
  return GridCell{cell.rpm, cell.kpa};
}

bool VeTableModel::IsLocked(const VECellPlan& cell) const {
  return std::binary_search(m_locked.begin(), m_locked.end(), GridCell{cell.rpm, cell.kpa});
}

void VeTableModel::SetShow(Show show) {
  m_show = show;
  if (!m_grid.empty()) {
    emit dataChanged(index(0, 0), index(kRows - 1, kColumns - 1),
                     {Qt::DisplayRole, Qt::BackgroundRole});
  }
}

void VeTableModel::SetCompact(bool compact) {
  if (compact == m_compact) return;
  m_compact = compact;
  if (!m_grid.empty()) {
    emit dataChanged(index(0, 0), index(kRows - 1, kColumns - 1), {Qt::DisplayRole});
  }
}

QString VeTableModel::TextAt(const QModelIndex& index, bool compact) const {
  if (!index.isValid() || m_grid.empty()) return QString();
  return Text(Cell(index), compact);
}

void VeTableModel::SetShowChoice(int choice) {
  static constexpr Show kShows[] = {Show::kChange, Show::kOldVe, Show::kNewVe};
  if (choice >= 0 && choice < 3) SetShow(kShows[choice]);
}

int VeTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || m_grid.empty() ? 0 : kRows;
}

int VeTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() || m_grid.empty() ? 0 : kColumns;
}

const VECellPlan& VeTableModel::Cell(const QModelIndex& index) const {
  return m_grid[static_cast<std::size_t>(index.row() * kColumns + index.column())];
}

QColor VeTableModel::DivergingColor(double position) {
  static const QColor kNeutral(246, 246, 246);
  static const QColor kWarm(226, 88, 34);
  static const QColor kCool(44, 123, 210);
  return Mix(kNeutral, position >= 0.0 ? kWarm : kCool, std::min(std::abs(position), 1.0));
}

QColor VeTableModel::ChangeColor(double percent) {
  return DivergingColor(percent / kFullColourPercent);
}

QColor VeTableModel::UntunedColor() { return QColor(214, 214, 214); }

double VeTableModel::ContrastRatio(const QColor& a, const QColor& b) {
  auto luminance = [](const QColor& colour) {
    auto linear = [](int channel) {
      const double c = channel / 255.0;
      return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.red()) + 0.7152 * linear(colour.green()) +
           0.0722 * linear(colour.blue());
  };
  const double la = luminance(a);
  const double lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor VeTableModel::TextColor(const QColor& background, bool faint) {
  const QColor black(0, 0, 0);
  const QColor white(255, 255, 255);
  const QColor text =
      ContrastRatio(black, background) >= ContrastRatio(white, background) ? black : white;
  if (!faint) return text;
  // As far toward the background as the contrast allows, at most 60 %.
  for (int percent = 60; percent > 0; percent -= 5) {
    const QColor mixed = Mix(text, background, percent / 100.0);
    if (ContrastRatio(mixed, background) >= kFaintContrast) return mixed;
  }
  return text;
}

QColor VeTableModel::Background(const VECellPlan& cell) const {
  return cell.tuned ? ChangeColor(cell.ChangePercent()) : UntunedColor();
}

bool VeTableModel::HasData(const VECellPlan& cell) const {
  return cell.hits + cell.idleHits > 0 || (cell.tuned && cell.idle && m_idleRecords > 0);
}

QString VeTableModel::Text(const VECellPlan& cell, bool compact) const {
  if (!cell.inImage) return QString();
  switch (m_show) {
    case Show::kOldVe:
      return Percent(static_cast<float>(cell.oldValue) * m_veScale);
    case Show::kNewVe:
      return Percent(static_cast<float>(cell.newValue) * m_veScale);
    case Show::kChange:
      break;
  }
  if (!cell.tuned) return QString();
  const double change = cell.ChangePercent();
  if (change == 0.0) return QStringLiteral("0");
  const QString sign = change > 0 ? QStringLiteral("+") : QStringLiteral("-");
  return sign + QString::number(std::abs(change), 'f', compact ? 0 : 1);
}

QString VeTableModel::ToolTip(const VECellPlan& cell) const {
  QStringList lines;
  lines << QStringLiteral("%1 rpm, %2 kPa (%3 table)")
               .arg(cell.rpm)
               .arg(cell.kpa)
               .arg(cell.extended ? QStringLiteral("extended") : QStringLiteral("main"));
  if (cell.inImage) {
    lines << QStringLiteral("old %1 (%2 %)")
                 .arg(cell.oldValue)
                 .arg(Percent(static_cast<float>(cell.oldValue) * m_veScale));
  }
  if (cell.tuned) {
    lines << QStringLiteral("new %1 (%2 %), change %3 %")
                 .arg(cell.newValue)
                 .arg(Percent(static_cast<float>(cell.newValue) * m_veScale))
                 .arg(Percent(cell.ChangePercent()));
    lines << QStringLiteral("fuel trim factor %1").arg(QString::number(cell.factor, 'g', 6));
    if (cell.idle) {
      lines << QStringLiteral("idle factor %1 from the idle cell's %2 record(s), mean %3")
                   .arg(QString::number(cell.idleFactor, 'g', 6))
                   .arg(m_idleRecords)
                   .arg(QString::number(cell.blendedFactor, 'g', 6));
    }
    if (cell.capped || cell.totalCapped) {
      lines << QStringLiteral("capped%1 to %2")
                   .arg(cell.totalCapped ? QStringLiteral(" by the total limit") : QString())
                   .arg(QString::number(cell.appliedFactor, 'g', 6));
    }
    if (cell.overflow) {
      lines << QStringLiteral("overflow: %1 % is out of bounds; the old value stays")
                   .arg(QString::number(cell.outOfBounds, 'g', 6));
    }
  } else if (cell.row == VEGrid::kRows - 1) {
    lines << QStringLiteral(
        "never tuned: no rpm limit reaches this row; shown as the image holds it");
  } else {
    lines << QStringLiteral("not tuned: beyond the rpm limit");
  }
  if (IsLocked(cell)) lines << QStringLiteral("locked: no pass changes this cell");
  // Counted as the Records tab and the summary count them.
  lines << QStringLiteral(
               "%1 record(s) used in this cell: %2 by the fuel trim cells, %3 by the "
               "idle cell")
               .arg(cell.hits + cell.idleHits)
               .arg(cell.hits)
               .arg(cell.idleHits);
  return lines.join(QLatin1Char('\n'));
}

QVariant VeTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || m_grid.empty()) return QVariant();
  const VECellPlan& cell = Cell(index);
  switch (role) {
    case Qt::DisplayRole:
      return Text(cell, m_compact);
    case Qt::TextAlignmentRole:
      return static_cast<int>(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::BackgroundRole:
      return Background(cell);
    case Qt::ForegroundRole:
      // Without a record of its own nor the idle cell's factor, a cell's
      // change comes only from the fuel trim cells around it; it is shown
      // faint, and in italics.
      return TextColor(Background(cell), !HasData(cell));
    case Qt::FontRole: {
      if (HasData(cell)) return QVariant();
      QFont font;
      font.setItalic(true);
      return font;
    }
    case Qt::ToolTipRole:
      return ToolTip(cell);
    case kMarksRole: {
      int marks = 0;
      if (cell.overflow) marks |= kOverflow;
      if (cell.tuned && cell.idle) marks |= kIdle;
      if (!cell.tuned) marks |= kUntuned;
      if (!HasData(cell)) marks |= kNoHits;
      if (cell.capped || cell.totalCapped) marks |= kCapped;
      if (IsLocked(cell)) marks |= kLocked;
      return marks;
    }
    case kChangeRole:
      return cell.ChangePercent();
    default:
      return QVariant();
  }
}

QVariant VeTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || m_grid.empty()) return QVariant();
  if (orientation == Qt::Horizontal) {
    return QString::number(m_grid[static_cast<std::size_t>(section)].kpa);
  }
  return QString::number(m_grid[static_cast<std::size_t>(section * kColumns)].rpm);
}

}  // namespace trimwright
