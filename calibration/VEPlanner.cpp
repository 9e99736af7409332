#include "calibration/VEPlanner.h"

#include <algorithm>
#include <cmath>

#include "common/NumberText.h"
#include "common/Sha256.h"

namespace trimwright {

namespace {

std::uint8_t ByteAt(const std::string& image, std::int64_t offset) {
  return static_cast<std::uint8_t>(image[static_cast<std::size_t>(offset)]);
}

// Where row's bytes start in the main or the extended table.
std::int64_t RowOffset(const ImageLayout& layout, int row, bool extended) {
  return extended ? std::int64_t{layout.extVeOffset} +
                        std::int64_t{VEGrid::kColumns} * (row - VEGrid::kFirstExtendedRow)
                  : std::int64_t{layout.veOffset} + std::int64_t{VEGrid::kColumns} * row;
}

// The bytes a cap lets a VE byte take: those within percent of center, worked
// out in whole millionths of a percent so that a byte exactly at the cap
// counts as within it.
struct ByteBand {
  std::int64_t low;
  std::int64_t high;

  static ByteBand Around(std::uint8_t center, double percent) {
    constexpr std::int64_t kWhole = 100'000'000;  // 100 % in millionths of a percent
    const std::int64_t part = std::llround(percent * 1e6);
    const std::int64_t lowProduct = std::int64_t{center} * (kWhole - part);
    return ByteBand{lowProduct <= 0 ? 0 : (lowProduct + kWhole - 1) / kWhole,
                    std::int64_t{center} * (kWhole + part) / kWhole};
  }
  // The band widened to hold value: a cell already outside it may move back
  // toward it but no further away.
  ByteBand Holding(std::int64_t value) const {
    return ByteBand{std::min(low, value), std::max(high, value)};
  }
  bool Holds(std::int64_t value) const { return value >= low && value <= high; }
  std::int64_t Clamp(std::int64_t value) const { return std::clamp(value, low, high); }
};

}  // namespace

VEPlanner::Span VEPlanner::TunedSpan(const ImageLayout& layout, const VEGrid& grid) {
  const std::int64_t rowBytes = grid.Columns();
  const int rows = grid.ReachableRows();
  Span span{layout.checksumOffset, std::int64_t{layout.checksumOffset} + 2};
  auto include = [&span](std::int64_t begin, std::int64_t length) {
    if (length <= 0) return;
    span.begin = std::min(span.begin, begin);
    span.end = std::max(span.end, begin + length);
  };
  include(layout.veOffset, rowBytes * std::min(rows, VEGrid::kMainVeRows));
  include(layout.extVeOffset, rowBytes * (rows - VEGrid::kFirstExtendedRow));
  return span;
}

std::int64_t VEPlanner::CellOffset(const ImageLayout& layout, int row, int column, bool extended) {
  const bool inTables = extended ? row >= VEGrid::kFirstExtendedRow &&
                                       row - VEGrid::kFirstExtendedRow < VEGrid::kExtendedTableRows
                                 : row >= 0 && row < VEGrid::kMainVeRows;
  return inTables ? RowOffset(layout, row, extended) + column : -1;
}

void VEPlanner::SwapBytes16(std::uint16_t& word) {
  word = static_cast<std::uint16_t>((word << 8) + (word >> 8));
}

PassPlan VEPlanner::Plan(const std::string& image, std::int32_t targetBlm,
                         const PassLimits& limits) {
  const Span span = TunedSpan(layout_, grid_);
  PassPlan plan;
  plan.imageSha256 = Sha256Hex(image);
  plan.targetBlm = targetBlm;
  plan.limits = limits;
  plan.veScale = kVePercentPerCount;
  plan.checksumOffset = layout_.checksumOffset;
  plan.regionOffset = span.begin;
  plan.oldRegion = image.substr(static_cast<std::size_t>(span.begin),
                                static_cast<std::size_t>(span.end - span.begin));
  plan.newRegion = plan.oldRegion;
  PlanTunedCells(plan, image, targetBlm, limits);
  PlanDisplayGrid(plan, image);
  NoteTrimCells(plan, limits);
  return plan;
}

VECellPlan VEPlanner::ModifyVECell(std::uint8_t oldValue, int row, int column,
                                   std::int32_t targetBlm, const PassLimits& limits,
                                   std::int64_t offset) {
  const auto i = static_cast<std::size_t>(row);
  const auto j = static_cast<std::size_t>(column);
  const std::vector<std::int32_t>& rpmBounds = grid_.veRpmBounds;
  const std::vector<float>& kpaBounds = grid_.veKpaBounds;
  VECellPlan cell;
  cell.row = row;
  cell.column = column;
  cell.rpm = grid_.veRpmAxis[i];
  cell.kpa = grid_.veKpaAxis[j];
  cell.tuned = true;
  cell.inImage = true;
  cell.oldValue = oldValue;
  cell.hits = sorter_.Hits(row, column);
  cell.idleHits = sorter_.IdleHits(row, column);
  const std::optional<float> smooth =
      limits.smooth ? table_.SmoothFactor(cell.rpm, static_cast<float>(cell.kpa), targetBlm)
                    : std::nullopt;
  cell.factor = smooth ? *smooth
                       : table_.FactorForVECell(rpmBounds[i], rpmBounds[i + 1], kpaBounds[j],
                                                kpaBounds[j + 1], targetBlm);
  cell.blendedFactor = cell.factor;
  cell.idle = idleCell_.Encloses(kpaBounds[j], kpaBounds[j + 1], rpmBounds[i], rpmBounds[i + 1]);
  if (cell.idle) {
    cell.idleFactor =
        idleCell_.AdjustmentFactor(targetBlm, diagnostics_, limits.minRecords.value_or(1));
    cell.blendedFactor = (cell.idleFactor + cell.factor) * 0.5f;
  }
  const bool hasBaseline = limits.baseline && offset >= 0 &&
                           offset < static_cast<std::int64_t>(limits.baseline->bytes->size());
  if (hasBaseline) cell.baselineValue = ByteAt(*limits.baseline->bytes, offset);
  if (std::binary_search(limits.locked.begin(), limits.locked.end(),
                         GridCell{cell.rpm, cell.kpa})) {
    cell.locked = true;
    cell.newValue = oldValue;
    return cell;
  }

  float factor = cell.blendedFactor;
  if (limits.maxChangePercent) {
    const auto highest = static_cast<float>(1.0 + *limits.maxChangePercent / 100.0);
    const auto lowest = static_cast<float>(1.0 - *limits.maxChangePercent / 100.0);
    if (factor > highest || factor < lowest) {
      factor = factor > highest ? highest : lowest;
      cell.capped = true;
    }
  }
  std::optional<ByteBand> totalBand;
  if (limits.maxTotalChangePercent && hasBaseline) {
    totalBand =
        ByteBand::Around(cell.baselineValue, *limits.maxTotalChangePercent).Holding(oldValue);
    // A byte of 0 stays 0 whatever the factor.
    const float old = static_cast<float>(oldValue);
    const float highest = oldValue > 0 ? static_cast<float>(totalBand->high) / old : factor;
    const float lowest = oldValue > 0 ? static_cast<float>(totalBand->low) / old : factor;
    if (factor > highest || factor < lowest) {
      factor = factor > highest ? highest : lowest;
      cell.totalCapped = true;
    }
  }
  cell.appliedFactor = factor;

  const double scaled = static_cast<double>(oldValue) * static_cast<double>(factor) + 0.5;
  // A value beyond the range of int, infinite or not a number (a target of 0
  // makes the factor infinite) is out of range like any other overflow; it is
  // never converted to int.
  const bool representable = std::isfinite(scaled) && std::fabs(scaled) < 2147483648.0;
  const double truncated = std::trunc(scaled);
  if (!representable || truncated < 0.0 || truncated > 255.0) {
    cell.overflow = true;
    cell.outOfBounds = NarrowToFloat(truncated) * kVePercentPerCount;
    cell.newValue = oldValue;
    diagnostics_.Warning(StreamedText("Warning!  VE cell [", cell.rpm, "][", cell.kpa,
                                      "] = ", cell.outOfBounds,
                                      " (value out of bounds) - Using old value."));
    return cell;
  }
  // A capped factor can still round to a byte beyond the cap; such a byte
  // goes to the last one within it, toward the old value. Both bands hold the
  // old value, so the byte stays within 0 to 255.
  const auto rounded = static_cast<std::int64_t>(truncated);
  std::int64_t value = rounded;
  if (limits.maxChangePercent) {
    const ByteBand band = ByteBand::Around(oldValue, *limits.maxChangePercent);
    cell.capped = cell.capped || !band.Holds(value);
    value = band.Clamp(value);
  }
  if (totalBand) {
    cell.totalCapped = cell.totalCapped || !totalBand->Holds(value);
    value = totalBand->Clamp(value);
  }
  cell.roundedToCap = value != rounded;
  cell.roundedValue = static_cast<std::uint8_t>(rounded);
  cell.newValue = static_cast<std::uint8_t>(value);
  return cell;
}

void VEPlanner::PlanTunedCells(PassPlan& plan, const std::string& image, std::int32_t targetBlm,
                               const PassLimits& limits) {
  auto regionByte = [&](std::int64_t offset) -> char& {
    return plan.newRegion[static_cast<std::size_t>(offset - plan.regionOffset)];
  };
  // The word as stored, low address in the low byte, then swapped into order.
  std::uint16_t checksum = static_cast<std::uint16_t>(
      ByteAt(image, layout_.checksumOffset) | (ByteAt(image, layout_.checksumOffset + 1) << 8));
  SwapBytes16(checksum);
  plan.oldChecksum = checksum;

  auto rewrite = [&](int row, bool extended) {
    const std::int64_t rowOffset = RowOffset(layout_, row, extended);
    for (int column = 0; column < grid_.Columns(); ++column) {
      const std::int64_t offset = rowOffset + column;
      VECellPlan cell = ModifyVECell(ByteAt(image, offset), row, column, targetBlm, limits, offset);
      cell.offset = offset;
      cell.extended = extended;
      regionByte(offset) = static_cast<char>(cell.newValue);
      checksum = static_cast<std::uint16_t>(checksum + cell.newValue - cell.oldValue);
      plan.overflow = plan.overflow || cell.overflow;
      plan.tunedCells.push_back(cell);
    }
  };
  const int rows = grid_.ReachableRows();
  for (int row = 0; row < std::min(rows, VEGrid::kMainVeRows); ++row) rewrite(row, false);
  for (int row = VEGrid::kFirstExtendedRow; row < rows; ++row) rewrite(row, true);

  plan.newChecksum = checksum;
  SwapBytes16(checksum);
  regionByte(layout_.checksumOffset) = static_cast<char>(checksum & 0xFF);
  regionByte(layout_.checksumOffset + 1) = static_cast<char>(checksum >> 8);
}

VECellPlan VEPlanner::ShownCell(const PassPlan& plan, const std::string& image, int row, int column,
                                bool extended) const {
  for (const VECellPlan& cell : plan.tunedCells) {
    if (cell.row == row && cell.column == column && cell.extended == extended) return cell;
  }
  VECellPlan cell;
  cell.row = row;
  cell.column = column;
  cell.rpm = grid_.veRpmAxis[static_cast<std::size_t>(row)];
  cell.kpa = grid_.veKpaAxis[static_cast<std::size_t>(column)];
  cell.extended = extended;
  cell.hits = sorter_.Hits(row, column);
  cell.idleHits = sorter_.IdleHits(row, column);
  cell.offset = CellOffset(layout_, row, column, extended);
  cell.inImage = cell.offset >= 0 && cell.offset < static_cast<std::int64_t>(image.size());
  if (cell.inImage) cell.oldValue = cell.newValue = ByteAt(image, cell.offset);
  return cell;
}

void VEPlanner::PlanDisplayGrid(PassPlan& plan, const std::string& image) const {
  // The 2000 rpm row as the main table holds it; the extended table's copy
  // apart.
  for (int row = 0; row < VEGrid::kRows; ++row) {
    for (int column = 0; column < grid_.Columns(); ++column) {
      plan.grid.push_back(ShownCell(plan, image, row, column, row > VEGrid::kFirstExtendedRow));
    }
  }
  for (int column = 0; column < grid_.Columns(); ++column) {
    plan.extendedRow2000.push_back(ShownCell(plan, image, VEGrid::kFirstExtendedRow, column, true));
  }
}

void VEPlanner::NoteTrimCells(PassPlan& plan, const PassLimits& limits) const {
  const std::int32_t minRecords = limits.minRecords.value_or(0);
  auto noteHeldBack = [&](const TrimCellStats& stats) {
    if (stats.records > 0 && stats.records < minRecords) {
      plan.heldBackCells.push_back(stats.number);
    }
  };
  for (std::int32_t k = 0; k < table_.CellCount(); ++k) {
    plan.trimCells.push_back(table_.Cell(k).Statistics());
    noteHeldBack(plan.trimCells.back());
  }
  plan.idleCell = idleCell_.Statistics();
  noteHeldBack(plan.idleCell);
  plan.auxFilteredRecords = sorter_.AuxFilteredRecords();
  for (const auto& [number, records] : sorter_.AuxFilteredByCell()) {
    plan.auxFilteredCells.push_back(FilteredCell{number, records});
  }
}

}  // namespace trimwright
