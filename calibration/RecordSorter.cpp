#include "calibration/RecordSorter.h"

#include <algorithm>
#include <array>

namespace trimwright {

std::int32_t RecordSorter::WithSecondTrim(std::int32_t blm, std::int32_t secondTrim) {
  constexpr std::int32_t kNeutral = 128;
  return std::clamp(blm + secondTrim - kNeutral, 0, 255);
}

RecordFates RecordSorter::Add(const LoggedData& data, const AuxWindow& window, bool addSecondTrim,
                              FuelTrimTable& table, FuelTrimCell& idleCell) {
  // What the cells hold before the walk and after it: the difference is
  // what this log gave them, so counting the used records costs the walk
  // nothing; likewise the window's count.
  auto held = [&table, &idleCell] {
    std::array<std::uint64_t, RecordFates::kUsedCells> records{};
    for (std::size_t number = 0; number < records.size(); ++number) {
      const auto cell = static_cast<std::int32_t>(number);
      if (cell < table.CellCount()) {
        records[number] = static_cast<std::uint64_t>(table.Cell(cell).RecordCount());
      } else if (cell == idleCell.GetNumber()) {
        records[number] = static_cast<std::uint64_t>(idleCell.RecordCount());
      }
    }
    return records;
  };
  RecordFates fates;
  const std::array<std::uint64_t, RecordFates::kUsedCells> before = held();
  const std::uint32_t filteredBefore = auxFilteredRecords_;
  // The choice is made once per log, so the walk over the records stays as
  // tight without it as it always was.
  if (addSecondTrim) {
    Walk<true>(data, window, table, idleCell, fates);
  } else {
    Walk<false>(data, window, table, idleCell, fates);
  }
  const std::array<std::uint64_t, RecordFates::kUsedCells> after = held();
  for (std::size_t number = 0; number < after.size(); ++number) {
    fates.used[number] = after[number] - before[number];
  }
  fates.outsideAuxWindow = auxFilteredRecords_ - filteredBefore;
  return fates;
}

template <bool kAddSecondTrim>
void RecordSorter::Walk(const LoggedData& data, const AuxWindow& auxWindow, FuelTrimTable& table,
                        FuelTrimCell& idleCell, RecordFates& fates) {
  // One walk fills the fuel trim cells and the idle cell and counts the hits
  // and the records the window left out. Only the idle cell keeps a list per
  // record, so a short walk first sizes it.
  const std::int32_t cells = table.CellCount();
  const std::int32_t idleNumber = idleCell.GetNumber();
  // Copies, which the stores into the cells and counts cannot change: the
  // loop then keeps them in registers.
  const AuxWindow window = auxWindow;
  const std::uint32_t records = data.recordCount;
  const bool filtered = !window.IsOpen();
  std::size_t idleRecords = 0;
  for (std::uint32_t r = 0; r < records; ++r) {
    idleRecords += data.engineWarm[r] != 0 && data.blmCell[r] == idleNumber ? 1 : 0;
  }
  idleCell.ReserveRecords(idleRecords);
  // Kept in locals while the walk runs: the records no cell took, by whether
  // they were logged at high throttle, and those of a cold engine.
  std::uint64_t notWarm = 0;
  std::uint64_t skipped[2] = {0, 0};
  for (std::uint32_t r = 0; r < records; ++r) {
    if (data.engineWarm[r] == 0) {
      ++notWarm;
      continue;
    }
    const std::int32_t cell = data.blmCell[r];
    const bool learning = !data.highThrottle[r] && cell >= 0 && cell < cells;
    const bool idle = cell == idleNumber;
    if (!learning && !idle) {
      // At part throttle only a cell beyond the idle cell (17, 18) gets here.
      ++skipped[data.highThrottle[r] & 1];
      continue;
    }
    const bool inside = window.Contains(data.auxLeft[r], data.auxRight[r]);
    std::int32_t left = data.blmLeft[r];
    std::int32_t right = data.blmRight[r];
    if constexpr (kAddSecondTrim) {
      left = WithSecondTrim(left, data.auxLeft[r]);
      right = WithSecondTrim(right, data.auxRight[r]);
    }
    if (learning && (inside || !filtered))
      table.Cell(cell).AddRecord(data.rpm[r], data.map[r], left, right);
    if (!inside) {
      ++auxFilteredByCell_[cell];
      auxFilteredRecords_ += (learning && filtered ? 1u : 0u) + (idle ? 1u : 0u);
      continue;
    }
    if (idle) idleCell.AddRecord(data.rpm[r], data.map[r], left, right);
    // Learning and idle records are apart: the idle cell's number lies beyond
    // the table's cells.
    const int row = VEGrid::RowOf(data.rpm[r]);
    const int column = VEGrid::ColumnOf(data.map[r]);
    if (row >= 0 && column >= 0) {
      auto& counts = learning ? hits_ : idleHits_;
      ++counts[static_cast<std::size_t>(row * VEGrid::kColumns + column)];
    }
  }
  fates.notWarm += notWarm;
  fates.noFuelTrimCell += skipped[0];
  fates.highThrottle += skipped[1];
}

}  // namespace trimwright
