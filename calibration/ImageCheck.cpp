#include "calibration/ImageCheck.h"

#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <locale>
#include <sstream>

#include "calibration/ImageLayout.h"
#include "calibration/LT1edit.h"
#include "calibration/Tunercat.h"
#include "calibration/VEGrid.h"
#include "common/DiskFile.h"
#include "common/NumberText.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

std::string Percent(std::uint8_t byte) {
  std::ostringstream text;
  text.imbue(std::locale::classic());
  text << std::fixed << std::setprecision(1) << static_cast<float>(byte) * kVePercentPerCount;
  return text.str();
}

// The boundaries make a fuel trim table: the three rpm boundaries and the
// three MAP boundaries each strictly ascending between the table's own ends
// (0 to 7000 rpm, 0 to 104 kPa).
bool MakeATable(const std::array<std::uint8_t, ImageCheck::kBoundaryBytes>& bytes) {
  const bool rpm = bytes[0] > 0 && bytes[0] < bytes[1] && bytes[1] < bytes[2];
  const bool map =
      bytes[3] > 0 && bytes[3] < bytes[4] && bytes[4] < bytes[5] && bytes[5] < kTopMapBound;
  return rpm && map;
}

// The boundaries rise strictly within the VE grid's axes, as a calibration's
// do: 400 <= rpm1 < rpm2 < rpm3 <= 7000 and 20 <= kPa1 < kPa2 < kPa3 <= 100.
bool RiseWithinTheGrid(const std::array<std::uint8_t, ImageCheck::kBoundaryBytes>& bytes) {
  static const VEGrid grid(0);  // only its labels
  const std::int32_t lowRpm = grid.veRpmAxis.front();
  const std::int32_t highRpm = grid.veRpmAxis.back();
  const std::int32_t lowKpa = grid.veKpaAxis.front();
  const std::int32_t highKpa = grid.veKpaAxis.back();
  const auto rpm = [&bytes](std::size_t k) { return bytes[k] * kRpmPerBoundaryCount; };
  return lowRpm <= rpm(0) && rpm(0) < rpm(1) && rpm(1) < rpm(2) && rpm(2) <= highRpm &&
         lowKpa <= bytes[3] && bytes[3] < bytes[4] && bytes[4] < bytes[5] && bytes[5] <= highKpa;
}

std::optional<std::array<std::uint8_t, ImageCheck::kBoundaryBytes>> BoundaryBytes(
    const std::string& head, std::int64_t offset) {
  if (offset + ImageCheck::kBoundaryBytes > static_cast<std::int64_t>(head.size())) {
    return std::nullopt;
  }
  std::array<std::uint8_t, ImageCheck::kBoundaryBytes> bytes{};
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    bytes[k] = static_cast<std::uint8_t>(head[static_cast<std::size_t>(offset) + k]);
  }
  return bytes;
}

VeTableRange RangeOf(const std::string& head, std::int64_t offset, int firstRow, int rows) {
  VeTableRange range;
  range.rows = rows;
  static const VEGrid grid(0);  // only its row labels
  range.firstRpm = grid.veRpmAxis[static_cast<std::size_t>(firstRow)];
  range.lastRpm = grid.veRpmAxis[static_cast<std::size_t>(firstRow + rows - 1)];
  const std::int64_t length = std::int64_t{rows} * VEGrid::kColumns;
  if (offset + length > static_cast<std::int64_t>(head.size())) return range;
  const auto begin = head.begin() + offset;
  const auto [low, high] = std::minmax_element(begin, begin + length, [](char a, char b) {
    return static_cast<std::uint8_t>(a) < static_cast<std::uint8_t>(b);
  });
  range.present = true;
  range.low = static_cast<std::uint8_t>(*low);
  range.high = static_cast<std::uint8_t>(*high);
  return range;
}

// "rpm 1200 2000 2800, kPa 40 60 80"
std::string BoundaryText(const std::array<std::uint8_t, ImageCheck::kBoundaryBytes>& b) {
  const auto rpm = [&b](std::size_t k) { return std::to_string(b[k] * kRpmPerBoundaryCount); };
  return "rpm " + rpm(0) + " " + rpm(1) + " " + rpm(2) + ", kPa " + std::to_string(b[3]) + " " +
         std::to_string(b[4]) + " " + std::to_string(b[5]);
}

const char* Ordinal(std::size_t half) { return half == 0 ? "first" : "second"; }

std::string HalfName(const HalfChecksum& half, std::size_t index) {
  return std::string(Ordinal(index)) + " half (file offsets " + HexText(half.offset, 5) + " to " +
         HexText(half.offset + ImageCheck::kHalfSize - 1, 5) + ", " +
         (half.veTables ? "which holds the VE tables" : "which holds the fuel trim boundaries") +
         ")";
}

std::string RangeLine(const char* name, const VeTableRange& range) {
  std::string line = std::string("  ") + name + " VE table (" + std::to_string(range.firstRpm) +
                     " to " + std::to_string(range.lastRpm) + " rpm): ";
  if (!range.present) return line + "not in the file\n";
  return line + Percent(range.low) + " % to " + Percent(range.high) + " %\n";
}

}  // namespace

ImageCheck::ImageCheck(const std::string& head, std::int64_t size, const ImageLayout& named)
    : layout_(named),
      otherLayout_(named.checksumOffset == Tunercat::kLayout.checksumOffset ? LT1edit::kLayout
                                                                            : Tunercat::kLayout),
      size_(size) {
  const std::string bytes = head.substr(0, static_cast<std::size_t>(kImageSize));
  for (std::size_t k = 0; k < halves_.size(); ++k) {
    HalfChecksum& half = halves_[k];
    half.offset = static_cast<std::int64_t>(k) * kHalfSize;
    half.veTables = named.checksumOffset / kHalfSize == half.offset / kHalfSize;
    half.present = half.offset + kHalfSize <= static_cast<std::int64_t>(bytes.size());
    if (!half.present) continue;
    const auto at = [&](std::int64_t offset) {
      return static_cast<std::uint8_t>(bytes[static_cast<std::size_t>(half.offset + offset)]);
    };
    half.stored = static_cast<std::uint16_t>(at(kChecksumInHalf) << 8 | at(kChecksumInHalf + 1));
    unsigned sum = 0;
    for (std::int64_t offset = kSummedFrom; offset < kHalfSize; ++offset) sum += at(offset);
    half.computed = static_cast<std::uint16_t>(sum);
  }
  boundaryBytes_ = BoundaryBytes(bytes, named.ftBoundsOffset);
  const auto otherBoundaries = BoundaryBytes(bytes, otherLayout_.ftBoundsOffset);
  looksSwapped_ = boundaryBytes_ && otherBoundaries && !MakeATable(*boundaryBytes_) &&
                  MakeATable(*otherBoundaries);
  mainVe_ = RangeOf(bytes, named.veOffset, 0, VEGrid::kMainVeRows);
  extendedVe_ =
      RangeOf(bytes, named.extVeOffset, VEGrid::kFirstExtendedRow, VEGrid::kExtendedTableRows);

  if (size_ != kImageSize) {
    problems_.push_back("it is " + std::to_string(size_) +
                        " bytes long, where a calibration image is exactly " +
                        std::to_string(kImageSize) + " bytes (two halves of 64 KiB)");
  }
  for (std::size_t k = 0; k < halves_.size(); ++k) {
    const HalfChecksum& half = halves_[k];
    if (!half.present || half.Holds()) continue;
    problems_.push_back("the checksum of its " + HalfName(half, k) + " does not hold: stored " +
                        HexText(half.stored, 4) + ", computed " + HexText(half.computed, 4));
  }
  if (looksSwapped_) {
    problems_.push_back(std::string("it looks like an image in the .") + otherLayout_.extension +
                        " layout named ." + named.extension +
                        ": its fuel trim boundaries make sense only with its two halves the "
                        "other way round (rename it to ." +
                        otherLayout_.extension + " if it is one)");
    return;  // read in the wrong layout, the rest says nothing more
  }
  // What no calibration holds, whatever its checksums say: an all-zero file
  // sums to a checksum that holds.
  if (boundaryBytes_ && !RiseWithinTheGrid(*boundaryBytes_)) {
    problems_.push_back("its fuel trim boundaries (" + BoundaryText(*boundaryBytes_) +
                        ") do not rise strictly within the VE grid's axes (400 to 7000 rpm, 20 "
                        "to 100 kPa), as a calibration's do");
  }
  for (const auto& [name, range] : {std::pair{"main", &mainVe_}, {"extended", &extendedVe_}}) {
    if (range->present && range->high == 0) {
      problems_.push_back(
          std::string("its ") + name + " VE table (" + std::to_string(range->firstRpm) + " to " +
          std::to_string(range->lastRpm) + " rpm) is all zero, which no engine runs on");
    }
  }
}

ImageCheck ImageCheck::Read(const DiskFile& file, const std::string& path,
                            const ImageLayout& named) {
  const std::int64_t size = file.Size();
  std::string head(static_cast<std::size_t>(kImageSize), '\0');
  const std::int64_t read = size < 0 ? -1 : file.ReadUpTo(0, head.data(), head.size());
  if (read < 0) throw TrimwrightError("Unable to read file " + path);
  head.resize(static_cast<std::size_t>(read));
  return ImageCheck(head, size, named);
}

std::string ImageCheck::Refusal(const std::string& path) const {
  if (Sound()) return std::string();
  return "The image " + path +
         " is not a sound calibration, so it was not tuned: " + JoinedProblems() +
         ". No log was read and nothing was written";
}

std::string ImageCheck::Warning(const std::string& path) const {
  if (Sound()) return std::string();
  return "Warning!  The image " + path +
         " is not a sound calibration, and a pass refuses it unless told to tune it anyway: " +
         JoinedProblems();
}

std::string ImageCheck::JoinedProblems() const {
  std::string text;
  for (std::size_t k = 0; k < problems_.size(); ++k) text += (k == 0 ? "" : "; ") + problems_[k];
  return text;
}

std::string ImageCheck::Describe(const std::string& path) const {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << path << ": " << (Sound() ? "sound" : "NOT SOUND") << "\n";
  out << "  layout: ." << layout_.extension << " (" << layout_.className
      << "), as its extension names\n";
  out << "  size: " << size_ << " bytes" << (size_ == kImageSize ? "" : " (not 131072)") << "\n";
  for (std::size_t k = 0; k < halves_.size(); ++k) {
    const HalfChecksum& half = halves_[k];
    out << "  checksum of the " << HalfName(half, k) << ": ";
    if (!half.present) {
      out << "not in the file\n";
      continue;
    }
    out << "stored " << HexText(half.stored, 4) << ", computed " << HexText(half.computed, 4)
        << ", " << (half.Holds() ? "holds" : "DOES NOT HOLD") << "\n";
  }
  out << "  fuel trim boundaries: ";
  if (boundaryBytes_) {
    out << BoundaryText(*boundaryBytes_) << "\n";
  } else {
    out << "not in the file\n";
  }
  out << RangeLine("main", mainVe_) << RangeLine("extended", extendedVe_);
  for (const std::string& problem : problems_) out << "  not sound: " << problem << "\n";
  return out.str();
}

}  // namespace trimwright
