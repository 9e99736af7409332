#include "calibration/LT1_obd1.h"

#include <algorithm>
#include <cmath>
#include <ostream>

#include "calibration/PassReport.h"
#include "common/NumberText.h"
#include "common/Sha256.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

constexpr std::int32_t kRpmPerBoundaryCount = 25;
constexpr std::int32_t kTopRpmBound = 7000;
constexpr float kTopMapBound = 104.0f;

std::size_t GridIndex(int row, int column) {
  return static_cast<std::size_t>(row * VEGrid::kColumns + column);
}

}  // namespace

LT1_obd1::LT1_obd1(const std::string& path, std::int32_t rpmLimit, const ImageLayout& layout,
                   ImageAccess access, Diagnostics& sink)
    : PCM(sink),
      layout_(layout),
      imagePath_(path),
      readOnly_(access.readOnly),
      pcmFile_(std::move(access.file)),
      rpmLimit_(rpmLimit),
      grid_(rpmLimit),
      veScale_(kVePercentPerCount) {
  sink.Out() << "LT1_obd1:  constructor" << std::endl;
  if (!pcmFile_ || !pcmFile_->IsOpen()) {
    pcmFile_ = std::make_shared<DiskFile>();
    const bool opened = readOnly_ ? pcmFile_->OpenForReading(path) : pcmFile_->OpenExisting(path);
    if (!opened) Fail("Unable to open file " + path);
    const bool locked = readOnly_ ? pcmFile_->TryLockShared() : pcmFile_->TryLockExclusive();
    if (!locked) Fail("Unable to lock file " + path + ": another run is tuning this image");
  }
  idleCell_.SetNumber(kIdleCellNumber);
}

LT1_obd1::~LT1_obd1() {
  diagnostics().Out() << "LT1_obd1:  destructing" << std::endl;
  fuelTrimTable_.reset();
  pcmFile_.reset();
}

void LT1_obd1::Fail(const std::string& message) const {
  diagnostics().Out() << "LT1_obd1:  " << message << std::endl;
  throw TrimwrightError(message);
}

void LT1_obd1::RequireImageBytes(std::int64_t needed, std::int64_t size) const {
  if (size < needed) {
    Fail("Image file " + imagePath_ + " is " + std::to_string(size) +
         " bytes long, but this run needs " + std::to_string(needed) + " bytes");
  }
}

LT1_obd1::Span LT1_obd1::TunedSpan() const {
  const std::int64_t rowBytes = grid_.Columns();
  const int rows = grid_.ReachableRows();
  Span span{layout_.checksumOffset, std::int64_t{layout_.checksumOffset} + 2};
  auto include = [&span](std::int64_t begin, std::int64_t length) {
    if (length <= 0) return;
    span.begin = std::min(span.begin, begin);
    span.end = std::max(span.end, begin + length);
  };
  include(layout_.veOffset, rowBytes * std::min(rows, VEGrid::kMainVeRows));
  include(layout_.extVeOffset, rowBytes * (rows - VEGrid::kFirstExtendedRow));
  return span;
}

void LT1_obd1::CompleteConstruction() {
  std::ostream& out = diagnostics().Out();
  out << layout_.className << ":  constructor" << std::endl;
  RequireImageBytes(
      std::max<std::int64_t>(TunedSpan().end, layout_.ftBoundsOffset + kBoundaryBytes),
      pcmFile_->Size());
  out << layout_.className << ":  reading FT Cell boundaries from " << imagePath_ << std::endl;
  ReadFTCellBoundaries(layout_.ftBoundsOffset);
}

void LT1_obd1::ReadFTCellBoundaries(std::int32_t ftBoundsOffset) {
  RequireImageBytes(std::int64_t{ftBoundsOffset} + kBoundaryBytes, pcmFile_->Size());
  unsigned char bytes[kBoundaryBytes];
  if (!pcmFile_->ReadAt(ftBoundsOffset, bytes, sizeof bytes)) {
    Fail("Unable to read file " + imagePath_);
  }

  ftRpmBounds_.push_back(0);
  for (int k = 0; k < 3; ++k) ftRpmBounds_.push_back(bytes[k] * kRpmPerBoundaryCount);
  ftRpmBounds_.push_back(kTopRpmBound);
  ftMapBounds_.push_back(0.0f);
  for (int k = 3; k < 6; ++k) ftMapBounds_.push_back(static_cast<float>(bytes[k]));
  ftMapBounds_.push_back(kTopMapBound);

  std::ostream& out = diagnostics().Out();
  out << "Fuel trim rpm bnds:  ";
  for (const std::int32_t rpm : ftRpmBounds_) out << rpm << " ";
  out << "\nFuel trim map bnds:  ";
  for (const float kpa : ftMapBounds_) out << kpa << " ";
  out << std::endl;

  fuelTrimTable_ = std::make_unique<FuelTrimTable>(ftRpmBounds_, ftMapBounds_, diagnostics());
}

void LT1_obd1::BeginOptimize() {
  std::ostream& out = diagnostics().Out();
  out << layout_.className << ":  OptimizeVETable" << std::endl;
  out << "LT1_obd1:  OptimizeVETable" << std::endl;
}

void LT1_obd1::AddLog(const LoggedData& data, const AuxWindow& auxWindow) {
  // One walk over the records fills the fuel trim cells and the idle cell and
  // counts the records the window left out (by the cell they were logged in)
  // and the records the table used (by the VE cell their rpm and MAP fall in).
  // Only the idle cell keeps a list per record, so a short walk first sizes
  // it. Idle records count at high throttle too. An open window lets every
  // record into the table, as FuelTrimTable::Fill does.
  FuelTrimTable& table = *fuelTrimTable_;
  const std::int32_t cells = table.CellCount();
  const std::int32_t idleNumber = idleCell_.GetNumber();
  // Copies, which the stores into the cells and counts cannot change: the
  // loop then keeps them in registers.
  const AuxWindow window = auxWindow;
  const std::uint32_t records = data.recordCount;
  const bool filtered = !window.IsOpen();
  std::size_t idleRecords = 0;
  for (std::uint32_t r = 0; r < records; ++r) {
    idleRecords += data.engineWarm[r] != 0 && data.blmCell[r] == idleNumber ? 1 : 0;
  }
  idleCell_.ReserveRecords(idleRecords);
  for (std::uint32_t r = 0; r < records; ++r) {
    if (data.engineWarm[r] == 0) continue;
    const std::int32_t cell = data.blmCell[r];
    const bool learning = !data.highThrottle[r] && cell >= 0 && cell < cells;
    const bool idle = cell == idleNumber;
    if (!learning && !idle) continue;
    const bool inside = window.Contains(data.auxLeft[r], data.auxRight[r]);
    if (learning && (inside || !filtered)) {
      table.Cell(cell).AddRecord(data.rpm[r], data.map[r], data.blmLeft[r], data.blmRight[r],
                                 data.auxLeft[r], data.auxRight[r]);
    }
    if (!inside) {
      ++auxFilteredByCell_[cell];
      auxFilteredRecords_ += (learning && filtered ? 1u : 0u) + (idle ? 1u : 0u);
      continue;
    }
    if (idle) {
      idleCell_.AddRecord(data.rpm[r], data.map[r], data.blmLeft[r], data.blmRight[r],
                          data.auxLeft[r], data.auxRight[r]);
    }
    if (learning) {
      const int row = VEGrid::RowOf(data.rpm[r]);
      const int column = VEGrid::ColumnOf(data.map[r]);
      if (row >= 0 && column >= 0) ++hits_[GridIndex(row, column)];
    }
  }
}

void LT1_obd1::SwapBytes16(std::uint16_t& word) {
  word = static_cast<std::uint16_t>((word << 8) + (word >> 8));
}

VECellPlan LT1_obd1::ModifyVECell(std::uint8_t oldValue, int row, int column,
                                  std::int32_t targetBlm, const PassLimits& limits) {
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
  cell.hits = hits_[GridIndex(row, column)];
  cell.factor = fuelTrimTable_->FactorForVECell(rpmBounds[i], rpmBounds[i + 1], kpaBounds[j],
                                                kpaBounds[j + 1], targetBlm);
  cell.blendedFactor = cell.factor;
  cell.idle = idleCell_.Encloses(kpaBounds[j], kpaBounds[j + 1], rpmBounds[i], rpmBounds[i + 1]);
  if (cell.idle) {
    cell.idleFactor =
        idleCell_.AdjustmentFactor(targetBlm, diagnostics(), limits.minRecords.value_or(1));
    cell.blendedFactor = (cell.idleFactor + cell.factor) * 0.5f;
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
  cell.appliedFactor = factor;

  const double scaled = static_cast<double>(oldValue) * static_cast<double>(factor) + 0.5;
  // A value beyond the range of int, infinite or not a number (a target of 0
  // makes the factor infinite) is out of range like any other overflow; it is
  // never converted to int.
  const bool representable = std::isfinite(scaled) && std::fabs(scaled) < 2147483648.0;
  const double truncated = std::trunc(scaled);
  if (!representable || truncated < 0.0 || truncated > 255.0) {
    cell.overflow = true;
    cell.outOfBounds = NarrowToFloat(truncated) * veScale_;
    cell.newValue = oldValue;
    diagnostics().Warning(StreamedText("Warning!  VE cell [", cell.rpm, "][", cell.kpa,
                                       "] = ", cell.outOfBounds,
                                       " (value out of bounds) - Using old value."));
  } else {
    cell.newValue = static_cast<std::uint8_t>(truncated);
  }
  return cell;
}

PassPlan LT1_obd1::PlanVETable(std::int32_t targetBlm, const PassLimits& limits) {
  std::string image;
  if (!pcmFile_->ReadAll(image)) Fail("Unable to read file " + imagePath_);
  const Span span = TunedSpan();
  RequireImageBytes(span.end, static_cast<std::int64_t>(image.size()));
  idleCell_.RangesFromRecords();
  fuelTrimTable_->SetMinRecords(limits.minRecords.value_or(1));

  PassPlan plan;
  plan.imagePath = imagePath_;
  plan.imageFormat = layout_.className;
  plan.imageSha256 = Sha256Hex(image);
  plan.imageStamp = FileStamp::Of(imagePath_);
  plan.targetBlm = targetBlm;
  plan.rpmLimit = rpmLimit_;
  plan.limits = limits;
  plan.veScale = veScale_;
  plan.checksumOffset = layout_.checksumOffset;
  plan.regionOffset = span.begin;
  plan.oldRegion = image.substr(static_cast<std::size_t>(span.begin),
                                static_cast<std::size_t>(span.end - span.begin));
  plan.newRegion = plan.oldRegion;
  auto imageByte = [&](std::int64_t offset) {
    return static_cast<std::uint8_t>(image[static_cast<std::size_t>(offset)]);
  };
  auto regionByte = [&](std::int64_t offset) -> char& {
    return plan.newRegion[static_cast<std::size_t>(offset - span.begin)];
  };

  // The word as stored, low address in the low byte, then swapped into order.
  std::uint16_t checksum = static_cast<std::uint16_t>(imageByte(layout_.checksumOffset) |
                                                      (imageByte(layout_.checksumOffset + 1) << 8));
  SwapBytes16(checksum);
  plan.oldChecksum = checksum;

  const int rows = grid_.ReachableRows();
  const int columns = grid_.Columns();
  auto rewrite = [&](int row, std::int64_t rowOffset, bool extended) {
    for (int column = 0; column < columns; ++column) {
      const std::int64_t offset = rowOffset + column;
      VECellPlan cell = ModifyVECell(imageByte(offset), row, column, targetBlm, limits);
      cell.offset = offset;
      cell.extended = extended;
      regionByte(offset) = static_cast<char>(cell.newValue);
      checksum = static_cast<std::uint16_t>(checksum + cell.newValue - cell.oldValue);
      plan.overflow = plan.overflow || cell.overflow;
      plan.tunedCells.push_back(cell);
    }
  };
  for (int row = 0; row < std::min(rows, VEGrid::kMainVeRows); ++row) {
    rewrite(row, std::int64_t{layout_.veOffset} + std::int64_t{columns} * row, false);
  }
  for (int row = VEGrid::kFirstExtendedRow; row < rows; ++row) {
    rewrite(row,
            std::int64_t{layout_.extVeOffset} +
                std::int64_t{columns} * (row - VEGrid::kFirstExtendedRow),
            true);
  }
  plan.newChecksum = checksum;
  SwapBytes16(checksum);
  regionByte(layout_.checksumOffset) = static_cast<char>(checksum & 0xFF);
  regionByte(layout_.checksumOffset + 1) = static_cast<char>(checksum >> 8);

  // The whole grid for display: tuned cells as planned, the others as the
  // image holds them.
  auto shown = [&](int row, int column, bool extended) {
    for (const VECellPlan& cell : plan.tunedCells) {
      if (cell.row == row && cell.column == column && cell.extended == extended) return cell;
    }
    VECellPlan cell;
    cell.row = row;
    cell.column = column;
    cell.rpm = grid_.veRpmAxis[static_cast<std::size_t>(row)];
    cell.kpa = grid_.veKpaAxis[static_cast<std::size_t>(column)];
    cell.extended = extended;
    cell.hits = hits_[GridIndex(row, column)];
    if (extended && row - VEGrid::kFirstExtendedRow < VEGrid::kExtendedTableRows) {
      cell.offset = std::int64_t{layout_.extVeOffset} +
                    std::int64_t{columns} * (row - VEGrid::kFirstExtendedRow) + column;
    } else if (!extended) {
      cell.offset = std::int64_t{layout_.veOffset} + std::int64_t{columns} * row + column;
    }
    cell.inImage = cell.offset >= 0 && cell.offset < static_cast<std::int64_t>(image.size());
    if (cell.inImage) cell.oldValue = cell.newValue = imageByte(cell.offset);
    return cell;
  };
  for (int row = 0; row < VEGrid::kRows; ++row) {
    for (int column = 0; column < columns; ++column) {
      plan.grid.push_back(shown(row, column, row > VEGrid::kFirstExtendedRow));
    }
  }
  for (int column = 0; column < columns; ++column) {
    plan.extendedRow2000.push_back(shown(VEGrid::kFirstExtendedRow, column, true));
  }

  const std::int32_t minRecords = limits.minRecords.value_or(0);
  auto noteHeldBack = [&](const TrimCellStats& stats) {
    if (stats.records > 0 && stats.records < minRecords) {
      plan.heldBackCells.push_back(stats.number);
    }
  };
  for (std::int32_t k = 0; k < fuelTrimTable_->CellCount(); ++k) {
    plan.trimCells.push_back(fuelTrimTable_->Cell(k).Statistics());
    noteHeldBack(plan.trimCells.back());
  }
  plan.idleCell = idleCell_.Statistics();
  noteHeldBack(plan.idleCell);
  plan.auxFilteredRecords = auxFilteredRecords_;
  for (const auto& [number, records] : auxFilteredByCell_) {
    plan.auxFilteredCells.push_back(FilteredCell{number, records});
  }
  return plan;
}

void LT1_obd1::ApplyPlan(const PassPlan& plan) {
  if (readOnly_) throw TrimwrightError("The image " + imagePath_ + " was opened read-only");
  switch (WritePlanBytes(*pcmFile_, plan)) {
    case PlanWrite::kWritten:
      return;
    case PlanWrite::kReadFailed:
      Fail("Unable to read file " + imagePath_);
    case PlanWrite::kImageChanged:
      throw TrimwrightError("The image " + imagePath_ +
                            " changed after the pass was planned; nothing was written");
    case PlanWrite::kWriteFailed:
      Fail("Unable to write file " + imagePath_);
  }
}

void LT1_obd1::OptimizeVETable(const LoggedData* data, std::int32_t targetBlm,
                               const std::string& logfileName) {
  BeginOptimize();
  AddLog(*data, AuxWindow{});
  PreparedOutput report = OpenReport(logfileName, diagnostics());
  const PassPlan plan = PlanVETable(targetBlm, PassLimits{});
  SaveReport(report, logfileName, plan, diagnostics());
  ApplyPlan(plan);
  report.Finish();
}

}  // namespace trimwright
