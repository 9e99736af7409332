#include "gui/CaptureCellsModel.h"

#include <QColor>
#include <QFont>
#include <algorithm>
#include <cmath>

#include "gui/TrimTableModel.h"

namespace trimwright {

namespace {

// The row of the idle cell and the cells 17 and 18.
constexpr int kOtherRow = CaptureCellsModel::kBands;

const QColor kCurrentBackground(255, 214, 10);
const QColor kFaintBackground(246, 246, 246);
const QColor kFaintText(140, 140, 140);
const QColor kUnusedBackground(225, 225, 225);

QString Tenths(double value) { return QString::number(value, 'f', 1); }

}  // namespace

CaptureCellsModel::CaptureCellsModel(QObject* parent) : QAbstractTableModel(parent) {}

void CaptureCellsModel::SetStatus(const CaptureStatus& status) {
  m_cells = status.cells;
  m_current = status.haveValues && status.blmCell >= 0 && status.blmCell < CaptureStatus::kCells
                  ? status.blmCell
                  : -1;
  ChangedAll();
}

void CaptureCellsModel::Clear() {
  m_cells = {};
  m_current = -1;
  ChangedAll();
}

void CaptureCellsModel::SetTargetBlm(int targetBlm) {
  m_target = targetBlm;
  ChangedAll();
}

void CaptureCellsModel::SetMinRecords(std::int32_t minRecords) {
  m_enough = std::max<std::uint64_t>(
      kEnoughRecords, static_cast<std::uint64_t>(std::max<std::int32_t>(minRecords, 0)));
  ChangedAll();
}

void CaptureCellsModel::SetBands(const std::vector<std::int32_t>& rpmBounds,
                                 const std::vector<std::int32_t>& mapBounds) {
  const bool whole = rpmBounds.size() == kBands + 1 && mapBounds.size() == kBands + 1;
  m_rpmBounds = whole ? rpmBounds : std::vector<std::int32_t>();
  m_mapBounds = whole ? mapBounds : std::vector<std::int32_t>();
  emit headerDataChanged(Qt::Horizontal, 0, kBands - 1);
  emit headerDataChanged(Qt::Vertical, 0, kBands);
}

void CaptureCellsModel::ChangedAll() {
  emit dataChanged(index(0, 0), index(kOtherRow, kBands - 1));
}

QModelIndex CaptureCellsModel::IndexOfCell(int number) const {
  if (number < 0 || number >= CaptureStatus::kCells) return QModelIndex();
  if (number >= kIdleCell) return index(kOtherRow, number - kIdleCell);
  return index(kBands - 1 - number / kBands, number % kBands);
}

int CaptureCellsModel::CellAt(const QModelIndex& index) {
  if (!index.isValid()) return -1;
  if (index.row() == kOtherRow) {
    const int number = kIdleCell + index.column();
    return number < CaptureStatus::kCells ? number : -1;
  }
  return (kBands - 1 - index.row()) * kBands + index.column();
}

bool CaptureCellsModel::NeedsData(int number) const {
  return UsedByPass(number) && Cell(number).records < m_enough;
}

int CaptureCellsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kBands + 1;
}

int CaptureCellsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kBands;
}

QVariant CaptureCellsModel::data(const QModelIndex& index, int role) const {
  const int number = CellAt(index);
  if (number < 0) return QVariant();
  const CellTally& cell = Cell(number);
  const bool current = number == m_current;
  switch (role) {
    case Qt::DisplayRole: {
      QString text =
          number == kIdleCell ? QStringLiteral("idle %1: %2 rec") : QStringLiteral("%1: %2 rec");
      text = text.arg(number).arg(cell.records);
      if (cell.records > 0) {
        text += QStringLiteral("\n%1 / %2")
                    .arg(Tenths(cell.blmLeftAverage), Tenths(cell.blmRightAverage));
      }
      return text;
    }
    case Qt::TextAlignmentRole:
      return static_cast<int>(Qt::AlignCenter);
    case Qt::BackgroundRole: {
      if (current) return kCurrentBackground;
      if (!UsedByPass(number)) return kUnusedBackground;
      if (NeedsData(number)) return kFaintBackground;
      // The bank farther from the target is the one that decides.
      const double left = cell.blmLeftAverage - m_target;
      const double right = cell.blmRightAverage - m_target;
      return TrimTableModel::DistanceColor(std::abs(left) >= std::abs(right) ? left : right);
    }
    case Qt::ForegroundRole:
      if (!current && NeedsData(number)) return kFaintText;
      return QColor(Qt::black);
    case Qt::FontRole: {
      QFont font;
      font.setBold(current);
      font.setItalic(!current && NeedsData(number));
      return font;
    }
    case Qt::ToolTipRole: {
      QString tip = QStringLiteral("cell %1%2: %3 record(s)")
                        .arg(number)
                        .arg(number == kIdleCell ? QStringLiteral(" (idle)") : QString())
                        .arg(cell.records);
      if (cell.records > 0) {
        tip += QStringLiteral("\nBLM averages: left %1, right %2")
                   .arg(Tenths(cell.blmLeftAverage), Tenths(cell.blmRightAverage));
      }
      if (!UsedByPass(number)) {
        tip += QStringLiteral("\nno pass reads this cell's records");
      } else if (NeedsData(number)) {
        tip += QStringLiteral("\nneeds more data: fewer than %1 records").arg(m_enough);
      }
      if (current) tip += QStringLiteral("\nthe engine is in this cell now");
      return tip;
    }
    case kCurrentRole:
      return current;
    case kNeedsDataRole:
      return NeedsData(number);
    default:
      return QVariant();
  }
}

QVariant CaptureCellsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return QVariant();
  const auto at = [](const std::vector<std::int32_t>& bounds, int k) {
    return bounds[static_cast<std::size_t>(k)];
  };
  if (orientation == Qt::Horizontal) {
    if (m_rpmBounds.empty()) return QStringLiteral("rpm band %1").arg(section + 1);
    return QStringLiteral("%1-%2 rpm")
        .arg(at(m_rpmBounds, section))
        .arg(at(m_rpmBounds, section + 1));
  }
  if (section == kOtherRow) return QStringLiteral("idle, 17, 18");
  const int band = kBands - 1 - section;
  if (m_mapBounds.empty()) return QStringLiteral("MAP band %1").arg(band + 1);
  return QStringLiteral("%1-%2 kPa").arg(at(m_mapBounds, band)).arg(at(m_mapBounds, band + 1));
}

}  // namespace trimwright
