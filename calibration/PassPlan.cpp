#include "calibration/PassPlan.h"

#include <map>

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

RecordFates PassPlan::Fates() const {
  RecordFates total;
  for (const LogSummary& log : logs) total += log.fates;
  return total;
}

bool PassPlan::NothingToTune() const { return !logs.empty() && Fates().Used() == 0; }

std::vector<PassPlan::CountedWarning> PassPlan::DistinctWarnings() const {
  std::vector<CountedWarning> distinct;
  std::map<std::string, std::size_t> seen;
  for (const std::string& text : warnings) {
    const auto [at, added] = seen.emplace(text, distinct.size());
    if (added) distinct.push_back(CountedWarning{text, 0});
    ++distinct[at->second].count;
  }
  return distinct;
}

}  // namespace trimwright
