#include "calibration/PassPlan.h"

namespace trimwright {

int PassPlan::CellsChanged() const {
  int changed = 0;
  for (const VECellPlan& cell : tunedCells) changed += cell.newValue != cell.oldValue ? 1 : 0;
  return changed;
}

std::uint32_t PassPlan::RecordsUsed() const {
  std::uint32_t used = 0;
  for (const TrimCellStats& cell : trimCells) used += static_cast<std::uint32_t>(cell.records);
  return used;
}

}  // namespace trimwright
