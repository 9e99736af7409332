#include "gui/CompareTableModel.h"

#include "calibration/ImageLayout.h"
#include "calibration/VEGrid.h"

namespace trimwright {

namespace {

QString Byte(const std::optional<std::uint8_t>& byte) {
  if (!byte) return QStringLiteral("missing");
  return QStringLiteral("%1 (%2 %)")
      .arg(*byte)
      .arg(QString::number(static_cast<float>(*byte) * kVePercentPerCount, 'f', 1));
}

}  // namespace

CompareTableModel::CompareTableModel(QObject* parent) : VeTableModel(parent) {}

void CompareTableModel::SetComparison(const ImageComparison& comparison) {
  m_cells = comparison.grid;
  PassPlan plan;
  plan.grid = comparison.PlanGrid();
  plan.veScale = kVePercentPerCount;
  SetPlan(plan);
}

QVariant CompareTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || m_cells.empty()) return QVariant();
  const ComparedCell& cell =
      m_cells[static_cast<std::size_t>(index.row() * VEGrid::kColumns + index.column())];
  if (role == Qt::ToolTipRole) {
    const std::optional<double> change = cell.ChangePercent();
    return QStringLiteral("%1 rpm, %2 kPa (%3 table)\nA: %4\nB: %5\nchange %6")
        .arg(cell.rpm)
        .arg(cell.kpa)
        .arg(cell.extended ? QStringLiteral("extended") : QStringLiteral("main"))
        .arg(
            Byte(cell.a), Byte(cell.b),
            change ? QString::number(*change, 'f', 1) + QStringLiteral(" %") : QStringLiteral("-"));
  }
  // A comparison has no logged records, no limits and no overflow: the only
  // mark is a cell one image lacks.
  if (role == kMarksRole) return cell.a && cell.b ? 0 : static_cast<int>(kUntuned);
  return VeTableModel::data(index, role);
}

}  // namespace trimwright
