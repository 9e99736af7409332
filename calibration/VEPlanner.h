// Works out one pass over the VE tables of an image as a PassPlan, writing
// nothing: every tuned cell's factor (the fuel trim cells' blend, averaged
// with the idle cell's factor where the idle cell covers the cell, capped by
// the limits), its new byte or its overflow (a locked cell keeps its byte),
// the checksum moved by every change, the whole grid for display, and what
// the limits held back. Reads
// the fuel trim table, the idle cell and the sorter's counts, which the
// calibration owns and which must outlive the planner.
#ifndef TRIMWRIGHT_CALIBRATION_VEPLANNER_H_
#define TRIMWRIGHT_CALIBRATION_VEPLANNER_H_

#include <cstdint>
#include <string>

#include "calibration/ImageLayout.h"
#include "calibration/PassLimits.h"
#include "calibration/PassPlan.h"
#include "calibration/RecordSorter.h"
#include "calibration/VEGrid.h"
#include "common/Diagnostics.h"
#include "fueltrim/FuelTrimCell.h"
#include "fueltrim/FuelTrimTable.h"

namespace trimwright {

class VEPlanner {
 public:
  // The bytes [begin, end) of an image that a pass over grid reads and
  // writes: the checksum word and the VE rows the rpm limit reaches.
  struct Span {
    std::int64_t begin;
    std::int64_t end;
  };
  static Span TunedSpan(const ImageLayout& layout, const VEGrid& grid);

  // Where VE cell (row, column) of the main or the extended table lies in an
  // image of layout; -1 where that table has no such row.
  static std::int64_t CellOffset(const ImageLayout& layout, int row, int column, bool extended);

  // Exchanges the two bytes of word.
  static void SwapBytes16(std::uint16_t& word);

  VEPlanner(const ImageLayout& layout, const VEGrid& grid, FuelTrimTable& table,
            FuelTrimCell& idleCell, const RecordSorter& sorter, Diagnostics& diagnostics)
      : layout_(layout),
        grid_(grid),
        table_(table),
        idleCell_(idleCell),
        sorter_(sorter),
        diagnostics_(diagnostics) {}

  // The pass over image toward targetBlm. REQUIRES: image holds TunedSpan;
  // the idle cell's ranges are set and the table's minimum of records is the
  // limits'.
  PassPlan Plan(const std::string& image, std::int32_t targetBlm, const PassLimits& limits);

  // VE cell (row, column) planned from its old value: its factors, and its
  // new value, or the old one with the out-of-bounds warning when the new
  // one would leave 0 to 255. A locked cell keeps its old value; the caps
  // hold on the factor and on the byte. offset is the cell's place in the
  // image, where the total limit finds its baseline byte (-1: none).
  VECellPlan ModifyVECell(std::uint8_t oldValue, int row, int column, std::int32_t targetBlm,
                          const PassLimits& limits, std::int64_t offset = -1);

 private:
  // The cells of the main and then the extended table, into the plan's
  // region; the checksum moved by every change.
  void PlanTunedCells(PassPlan& plan, const std::string& image, std::int32_t targetBlm,
                      const PassLimits& limits);
  // Every cell of the grid, as planned where tuned, else as the image holds it.
  void PlanDisplayGrid(PassPlan& plan, const std::string& image) const;
  VECellPlan ShownCell(const PassPlan& plan, const std::string& image, int row, int column,
                       bool extended) const;
  // The fuel trim cells' statistics and what the limits held back.
  void NoteTrimCells(PassPlan& plan, const PassLimits& limits) const;

  const ImageLayout& layout_;
  const VEGrid& grid_;
  FuelTrimTable& table_;
  FuelTrimCell& idleCell_;
  const RecordSorter& sorter_;
  Diagnostics& diagnostics_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_VEPLANNER_H_
