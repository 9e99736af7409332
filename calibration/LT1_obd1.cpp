#include "calibration/LT1_obd1.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <locale>
#include <sstream>

#include "common/NumberText.h"
#include "common/ParallelParts.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

constexpr std::int32_t kRpmPerBoundaryCount = 25;
constexpr std::int32_t kTopRpmBound = 7000;
constexpr float kTopMapBound = 104.0f;
constexpr float kVePercentPerCount = 0.390588f;
constexpr int kReportPrecision = 3;

}  // namespace

LT1_obd1::LT1_obd1(const std::string& path, std::int32_t rpmLimit) : imagePath_(path) {
  std::cout << "LT1_obd1:  constructor" << std::endl;
  if (!pcmFile.OpenExisting(path)) Fail("Unable to open file " + path);
  if (!pcmFile.TryLockExclusive()) {
    Fail("Unable to lock file " + path + ": another run is tuning this image");
  }
  BuildVEGrid(rpmLimit);
  veScale = kVePercentPerCount;
  idleCell.SetNumber(kIdleCellNumber);
}

LT1_obd1::~LT1_obd1() {
  std::cout << "LT1_obd1:  destructing" << std::endl;
  fuelTrimTable.reset();
  pcmFile.Close();
}

void LT1_obd1::Fail(const std::string& message) const {
  std::cout << "LT1_obd1:  " << message << std::endl;
  throw TrimwrightError(message);
}

void LT1_obd1::BuildVEGrid(std::int32_t rpmLimit) {
  // Column edges lie halfway between the 5 kPa labels.
  veKpaBounds.push_back(0.0f);
  float edge = 22.5f;
  do {
    veKpaBounds.push_back(edge);
    edge = edge + 5.0f;
  } while (!(edge > 100.0f));
  veKpaBounds.push_back(kTopMapBound);

  // Row edges lie halfway between the row labels; a row is reachable only
  // when its upper edge is below the limit.
  veRpmBounds.push_back(0);
  for (std::int32_t rpm = 500; rpm <= 3900 && rpm < rpmLimit; rpm += 200) {
    veRpmBounds.push_back(rpm);
  }
  for (std::int32_t rpm = 4250; rpm <= 6750 && rpm < rpmLimit; rpm += 500) {
    veRpmBounds.push_back(rpm);
  }

  for (std::int32_t kpa = 20; kpa <= 100; kpa += 5) veKpaAxis.push_back(kpa);
  for (std::int32_t rpm = 400; rpm <= 4000; rpm += 200) veRpmAxis.push_back(rpm);
  for (std::int32_t rpm = 4500; rpm <= 7000; rpm += 500) veRpmAxis.push_back(rpm);
}

void LT1_obd1::RequireImageBytes(std::int64_t needed) {
  const std::int64_t size = pcmFile.Size();
  if (size < needed) {
    Fail("Image file " + imagePath_ + " is " + std::to_string(size) +
         " bytes long, but this run needs " + std::to_string(needed) + " bytes");
  }
}

LT1_obd1::Span LT1_obd1::TunedSpan(std::int32_t veOffset, std::int32_t extVeOffset,
                                   std::int32_t checksumOffset) const {
  const std::int64_t rowBytes = static_cast<std::int64_t>(veKpaBounds.size()) - 1;
  const int rows = ReachableRows();
  Span span{checksumOffset, std::int64_t{checksumOffset} + 2};
  auto include = [&span](std::int64_t begin, std::int64_t length) {
    if (length <= 0) return;
    span.begin = std::min(span.begin, begin);
    span.end = std::max(span.end, begin + length);
  };
  include(veOffset, rowBytes * std::min(rows, kMainVeRows));
  include(extVeOffset, rowBytes * (rows - kFirstExtendedRow));
  return span;
}

void LT1_obd1::CompleteConstruction(const std::string& className, const ImageOffsets& offsets) {
  std::cout << className << ":  constructor" << std::endl;
  const Span tuned = TunedSpan(offsets.veOffset, offsets.extVeOffset, offsets.checksumOffset);
  RequireImageBytes(std::max<std::int64_t>(tuned.end, offsets.ftBoundsOffset + kBoundaryBytes));
  std::cout << className << ":  reading FT Cell boundaries from " << imagePath_ << std::endl;
  ReadFTCellBoundaries(offsets.ftBoundsOffset);
}

void LT1_obd1::OptimizeImage(const std::string& className, const ImageOffsets& offsets,
                             const LoggedData* data, std::int32_t targetBlm,
                             const std::string& logfileName) {
  std::cout << className << ":  OptimizeVETable" << std::endl;
  LT1_obd1::OptimizeVETable(data, targetBlm, logfileName, offsets.veOffset, offsets.extVeOffset,
                            offsets.checksumOffset);
}

void LT1_obd1::ReadFTCellBoundaries(std::int32_t ftBoundsOffset) {
  RequireImageBytes(std::int64_t{ftBoundsOffset} + kBoundaryBytes);
  unsigned char bytes[kBoundaryBytes];
  if (!pcmFile.ReadAt(ftBoundsOffset, bytes, sizeof bytes))
    Fail("Unable to read file " + imagePath_);

  ftRpmBounds.push_back(0);
  for (int k = 0; k < 3; ++k) ftRpmBounds.push_back(bytes[k] * kRpmPerBoundaryCount);
  ftRpmBounds.push_back(kTopRpmBound);
  ftMapBounds.push_back(0.0f);
  for (int k = 3; k < 6; ++k) ftMapBounds.push_back(static_cast<float>(bytes[k]));
  ftMapBounds.push_back(kTopMapBound);

  std::cout << "Fuel trim rpm bnds:  ";
  for (const std::int32_t rpm : ftRpmBounds) std::cout << rpm << " ";
  std::cout << "\nFuel trim map bnds:  ";
  for (const float kpa : ftMapBounds) std::cout << kpa << " ";
  std::cout << std::endl;

  fuelTrimTable = std::make_unique<FuelTrimTable>(ftRpmBounds, ftMapBounds);
}

void LT1_obd1::FillIdleCell(const LoggedData& data) {
  // Idle records count at high throttle too.
  auto isIdle = [&](std::uint32_t r) {
    return data.engineWarm[r] && data.blmCell[r] == idleCell.GetNumber();
  };
  std::size_t idleRecords = 0;
  for (std::uint32_t r = 0; r < data.recordCount; ++r) idleRecords += isIdle(r) ? 1 : 0;
  idleCell.ReserveRecords(idleRecords);
  for (std::uint32_t r = 0; r < data.recordCount; ++r) {
    if (isIdle(r)) {
      idleCell.AddRecord(data.rpm[r], data.map[r], data.blmLeft[r], data.blmRight[r],
                         data.auxLeft[r], data.auxRight[r]);
    }
  }
  idleCell.RangesFromRecords();
}

void LT1_obd1::SwapBytes16(std::uint16_t& word) {
  word = static_cast<std::uint16_t>((word << 8) + (word >> 8));
}

std::uint8_t LT1_obd1::ModifyVECell(std::uint8_t oldValue, int row, int column,
                                    std::int32_t targetBlm, std::ostream& report, bool& overflow) {
  const auto i = static_cast<std::size_t>(row);
  const auto j = static_cast<std::size_t>(column);
  report << "cell[" << veRpmAxis[i] << "][" << veKpaAxis[j] << "]\t";
  float factor = fuelTrimTable->FactorForVECell(veRpmBounds[i], veRpmBounds[i + 1], veKpaBounds[j],
                                                veKpaBounds[j + 1], targetBlm);

  const std::streamsize savedPrecision = report.precision(kReportPrecision);
  report << static_cast<float>(oldValue) * veScale << "\t";
  report << factor << "\t";

  const bool idle =
      idleCell.Encloses(veKpaBounds[j], veKpaBounds[j + 1], veRpmBounds[i], veRpmBounds[i + 1]);
  if (idle) {
    const float idleFactor = idleCell.AdjustmentFactor(targetBlm);
    report << idleFactor << "\t";
    factor = (idleFactor + factor) * 0.5f;
    report << factor << "\t";
  }

  const double scaled = static_cast<double>(oldValue) * static_cast<double>(factor) + 0.5;
  // A value beyond the range of int, infinite or not a number (a target of 0
  // makes the factor infinite) is out of range like any other overflow; it is
  // never converted to int.
  const bool representable = std::isfinite(scaled) && std::fabs(scaled) < 2147483648.0;
  const double truncated = std::trunc(scaled);
  std::uint8_t result;
  if (!representable || truncated < 0.0 || truncated > 255.0) {
    const float outOfBounds = NarrowToFloat(truncated) * veScale;
    std::cout << "Warning!  VE cell [" << veRpmAxis[i] << "][" << veKpaAxis[j]
              << "] = " << outOfBounds << " (value out of bounds) - Using old value." << std::endl;
    report << "(*)\t";
    overflow = true;
    result = oldValue;
  } else {
    result = static_cast<std::uint8_t>(truncated);
    report << static_cast<float>(result) * veScale << "\t";
  }

  report.precision(savedPrecision);
  if (idle) report << "Idle cell";
  report << std::endl;
  return result;
}

void LT1_obd1::OptimizeVETable(const LoggedData* data, std::int32_t targetBlm,
                               const std::string& logfileName, std::int32_t veOffset,
                               std::int32_t extVeOffset, std::int32_t checksumOffset) {
  std::cout << "LT1_obd1:  OptimizeVETable" << std::endl;
  const Span span = TunedSpan(veOffset, extVeOffset, checksumOffset);
  RequireImageBytes(span.end);

  // The table and the idle cell take their records from the log
  // independently, so they fill side by side.
  RunParts(2, [&](std::size_t part) {
    if (part == 0) {
      fuelTrimTable->Fill(*data);
    } else {
      FillIdleCell(*data);
    }
  });

  DiskFile reportFile;
  if (!reportFile.CreateOrTruncate(logfileName)) {
    std::cerr << "Unable to open logfile " << logfileName << std::endl;
    throw TrimwrightError("Unable to open logfile " + logfileName);
  }

  // The whole tuned region is read once, changed in memory byte by byte in
  // the order the cells are visited, and written back in one piece at the end.
  std::vector<std::uint8_t> region(static_cast<std::size_t>(span.end - span.begin));
  if (!pcmFile.ReadAt(span.begin, region.data(), region.size())) {
    Fail("Unable to read file " + imagePath_);
  }
  auto byteAt = [&](std::int64_t offset) -> std::uint8_t& {
    return region[static_cast<std::size_t>(offset - span.begin)];
  };

  // The word as stored, low address in the low byte, then swapped into order.
  std::uint16_t checksum =
      static_cast<std::uint16_t>(byteAt(checksumOffset) | (byteAt(checksumOffset + 1) << 8));
  SwapBytes16(checksum);

  std::ostringstream report;
  report.imbue(std::locale::classic());
  report << "Cell\t Old VE\t Adj. Factor\t New VE\n";
  report << "\nVE table modifications:\n";

  const int rows = ReachableRows();
  const int columns = static_cast<int>(veKpaBounds.size()) - 1;
  bool overflow = false;
  auto rewrite = [&](int row, std::int64_t offset) {
    for (int column = 0; column < columns; ++column) {
      std::uint8_t& cell = byteAt(offset + column);
      const std::uint8_t oldValue = cell;
      cell = ModifyVECell(oldValue, row, column, targetBlm, report, overflow);
      checksum = static_cast<std::uint16_t>(checksum + cell - oldValue);
    }
  };
  for (int row = 0; row < std::min(rows, kMainVeRows); ++row) {
    rewrite(row, std::int64_t{veOffset} + std::int64_t{columns} * row);
  }
  report << "\nExtended VE Table modifications:\n";
  for (int row = kFirstExtendedRow; row < rows; ++row) {
    rewrite(row, std::int64_t{extVeOffset} + std::int64_t{columns} * (row - kFirstExtendedRow));
  }

  SwapBytes16(checksum);
  byteAt(checksumOffset) = static_cast<std::uint8_t>(checksum & 0xFF);
  byteAt(checksumOffset + 1) = static_cast<std::uint8_t>(checksum >> 8);

  if (overflow) {
    report << "\n(*) - An overflow occurred when applying the adj factor to the\n"
           << "original VE table entry.  The old value is being used, but it is\n"
           << "recommended you look for exhaust or intake vacuum leaks, since VE should\n"
           << "never be in excess of 100 (or less than 0)\n";
  }
  fuelTrimTable->PrintStatistics(report);
  idleCell.Print(report);

  // The report is complete on disk before the image changes, so a failed
  // report never leaves a rewritten image behind without its record.
  const std::string text = report.str();
  if (!reportFile.Write(text.data(), text.size()) || !reportFile.Sync() || !reportFile.Close()) {
    std::cerr << "Unable to write logfile " << logfileName << std::endl;
    throw TrimwrightError("Unable to write logfile " + logfileName +
                          "; the calibration image was not changed");
  }

  if (!pcmFile.WriteAt(span.begin, region.data(), region.size()) || !pcmFile.Sync()) {
    Fail("Unable to write file " + imagePath_);
  }
}

}  // namespace trimwright
