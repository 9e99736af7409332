#include "app/ImageCompare.h"

#include <nlohmann/json.hpp>

#include <locale>
#include <memory>
#include <sstream>

#include "app/FileFormats.h"
#include "app/HistorySnapshot.h"
#include "app/PassHistory.h"
#include "calibration/ImageCheck.h"
#include "calibration/ImageFile.h"
#include "calibration/VEGrid.h"
#include "calibration/VEPlanner.h"
#include "common/NumberText.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

using Json = nlohmann::ordered_json;

constexpr int kCompareFormatVersion = 1;

std::string Percent(double value) {
  std::ostringstream text;
  text.imbue(std::locale::classic());
  text << std::showpos << std::fixed;
  text.precision(1);
  text << value << " %";
  return text.str();
}

// An image, locked for as long as the comparison reads it, and its bytes:
// the file's, or those an entry of its history saved.
struct ReadImage {
  std::shared_ptr<ImageFile> file;
  std::string bytes;
  const ImageLayout* layout = nullptr;
};

ReadImage Read(CompareSource& source, bool ignoreChecksum, std::vector<std::string>& warnings) {
  ReadImage image;
  image.layout = FindImageLayout(source.path);
  image.file = ImageFile::OpenLocked(source.path, true);
  image.bytes = image.file->ReadAll();
  if (source.entry > 0) {
    const PassHistory history(source.path);
    const HistorySnapshot snapshot(history, image.bytes);
    const HistoryEntry* found = snapshot.Find(source.entry);
    if (!found) {
      std::string held;
      if (const HistoryEntry* oldest = snapshot.Oldest()) {
        held = " (it holds #" + std::to_string(oldest->sequence) + " to #" +
               std::to_string(snapshot.entries().front().sequence) + ")";
      }
      throw TrimwrightError("The history of " + source.path + " has no entry #" +
                            std::to_string(source.entry) + held);
    }
    if (!found->damage.empty()) {
      throw TrimwrightError("The history entry #" + std::to_string(source.entry) + " of " +
                            source.path + " is damaged (" + found->damage + ")");
    }
    image.bytes = history.SavedImage(*found);
  }
  source.size = static_cast<std::int64_t>(image.bytes.size());
  // What a pass at the highest rpm limit reads; the 7000 rpm row beyond it
  // may be missing, and is then shown as missing.
  const std::int64_t needed = VEPlanner::TunedSpan(*image.layout, VEGrid(7000)).end;
  if (source.size < needed) {
    throw TrimwrightError("The image " + source.given + " is " + std::to_string(source.size) +
                          " bytes long, too short to compare: its VE tables reach to offset " +
                          HexText(needed - 1) + ", so it needs at least " + std::to_string(needed) +
                          " bytes");
  }
  const ImageCheck check(image.bytes, source.size, *image.layout);
  if (!check.Sound()) {
    std::string problems;
    for (const std::string& problem : check.problems()) {
      problems += (problems.empty() ? "" : "; ") + problem;
    }
    if (!ignoreChecksum) {
      throw TrimwrightError("The image " + source.given +
                            " is not a sound calibration, so it was not compared: " + problems +
                            ". --ignore-checksum compares it as it is");
    }
    warnings.push_back("Warning!  The image " + source.given +
                       " is not a sound calibration, compared as it is: " + problems);
  }
  return image;
}

ComparedCell CompareCell(const ReadImage& a, const ReadImage& b, int row, int column,
                         bool extended) {
  ComparedCell cell;
  cell.row = row;
  cell.column = column;
  const VEGrid grid(7000);
  cell.rpm = grid.veRpmAxis[static_cast<std::size_t>(row)];
  cell.kpa = grid.veKpaAxis[static_cast<std::size_t>(column)];
  cell.extended = extended;
  cell.offsetA = VEPlanner::CellOffset(*a.layout, row, column, extended);
  cell.offsetB = VEPlanner::CellOffset(*b.layout, row, column, extended);
  auto byteAt = [](const std::string& bytes, std::int64_t offset) -> std::optional<std::uint8_t> {
    if (offset < 0 || offset >= static_cast<std::int64_t>(bytes.size())) return std::nullopt;
    return static_cast<std::uint8_t>(bytes[static_cast<std::size_t>(offset)]);
  };
  cell.a = byteAt(a.bytes, cell.offsetA);
  cell.b = byteAt(b.bytes, cell.offsetB);
  return cell;
}

// Whether offset of an image of layout lies in one of its VE tables.
bool InVeTables(const ImageLayout& layout, std::int64_t offset) {
  const std::int64_t main = layout.veOffset;
  const std::int64_t extended = layout.extVeOffset;
  return (offset >= main && offset < main + VEGrid::kMainVeRows * VEGrid::kColumns) ||
         (offset >= extended && offset < extended + VEGrid::kExtendedTableRows * VEGrid::kColumns);
}

Json CellJson(const ComparedCell& cell) {
  const std::optional<double> change = cell.ChangePercent();
  return Json{{"rpm", cell.rpm},
              {"kpa", cell.kpa},
              {"a", cell.a ? Json(*cell.a) : Json(nullptr)},
              {"b", cell.b ? Json(*cell.b) : Json(nullptr)},
              {"change_percent", change ? Json(*change) : Json(nullptr)},
              {"table", cell.extended ? "extended" : "main"},
              {"offset_a", cell.offsetA},
              {"offset_b", cell.offsetB}};
}

Json SourceJson(const CompareSource& source) {
  return Json{{"path", source.path},
              {"entry", source.entry ? Json(source.entry) : Json(nullptr)},
              {"image_format", source.layoutName},
              {"size", source.size}};
}

Json ExtremeJson(const ComparedCell* cell) {
  if (!cell) return nullptr;
  return Json{{"rpm", cell->rpm}, {"kpa", cell->kpa}, {"change_percent", *cell->ChangePercent()}};
}

}  // namespace

CompareSource CompareSource::Parse(const std::string& given) {
  CompareSource source;
  source.given = given;
  source.path = given;
  const std::size_t at = given.rfind('@');
  if (at != std::string::npos && !FindImageLayout(given) && FindImageLayout(given.substr(0, at))) {
    const std::string number = given.substr(at + 1);
    const bool digits = !number.empty() && number.size() <= 9 &&
                        number.find_first_not_of("0123456789") == std::string::npos;
    source.entry = digits ? std::stoull(number) : 0;
    if (source.entry == 0) {
      throw InvalidRequestError(
          "In " + given +
          ", what follows @ must be the number of an entry of the image's history "
          "(1 or more), as --history lists them");
    }
    source.path = given.substr(0, at);
  }
  const ImageFormat* format = FindImageFormat(source.path);
  if (!format) {
    throw InvalidRequestError(given +
                              " is not a calibration image: its name must end in .bin or .lt1 "
                              "(or IMAGE@N, the image before entry N of its history)");
  }
  const ImageLayout& layout = *FindImageLayout(source.path);
  source.layoutName = layout.className;
  source.extension = layout.extension;
  return source;
}

std::optional<double> ComparedCell::ChangePercent() const {
  if (!a || !b || (*a == 0 && *b != 0)) return std::nullopt;
  return ByteChangePercent(*a, *b);
}

VECellPlan ComparedCell::AsPlanCell() const {
  VECellPlan cell;
  cell.row = row;
  cell.column = column;
  cell.rpm = rpm;
  cell.kpa = kpa;
  cell.extended = extended;
  cell.offset = offsetA;
  cell.inImage = a && b;
  cell.tuned = cell.inImage;
  cell.oldValue = a.value_or(0);
  cell.newValue = b.value_or(0);
  cell.hits = 1;  // no records lie behind a comparison; no cell is shown faint
  return cell;
}

int ImageComparison::DifferingCells() const {
  int count = 0;
  for (const ComparedCell& cell : grid) count += cell.Differs() ? 1 : 0;
  return count;
}

int ImageComparison::DifferingExtendedRow2000() const {
  int count = 0;
  for (const ComparedCell& cell : extendedRow2000) count += cell.Differs() ? 1 : 0;
  return count;
}

const ComparedCell* ImageComparison::LargestRise() const {
  const ComparedCell* rise = nullptr;
  for (const ComparedCell& cell : grid) {
    const std::optional<double> change = cell.ChangePercent();
    if (change && *change > 0 && (!rise || *change > *rise->ChangePercent())) rise = &cell;
  }
  return rise;
}

const ComparedCell* ImageComparison::LargestFall() const {
  const ComparedCell* fall = nullptr;
  for (const ComparedCell& cell : grid) {
    const std::optional<double> change = cell.ChangePercent();
    if (change && *change < 0 && (!fall || *change < *fall->ChangePercent())) fall = &cell;
  }
  return fall;
}

std::vector<VECellPlan> ImageComparison::PlanGrid() const {
  std::vector<VECellPlan> cells;
  cells.reserve(grid.size());
  for (const ComparedCell& cell : grid) cells.push_back(cell.AsPlanCell());
  return cells;
}

std::string ImageComparison::Summary() const {
  auto where = [](const ComparedCell* cell) {
    if (!cell) return std::string("none");
    return Percent(*cell->ChangePercent()) + " at " + std::to_string(cell->rpm) + " rpm, " +
           std::to_string(cell->kpa) + " kPa";
  };
  std::string text = std::to_string(DifferingCells()) + " VE cell(s) differ; largest rise " +
                     where(LargestRise()) + "; largest fall " + where(LargestFall()) + "; " +
                     std::to_string(others.size()) + " other byte(s) differ";
  return text;
}

ImageComparison CompareImages(const std::string& givenA, const std::string& givenB,
                              bool ignoreChecksum) {
  ImageComparison comparison;
  comparison.a = CompareSource::Parse(givenA);
  comparison.b = CompareSource::Parse(givenB);
  const ReadImage a = Read(comparison.a, ignoreChecksum, comparison.warnings);
  const ReadImage b = Read(comparison.b, ignoreChecksum, comparison.warnings);

  for (int row = 0; row < VEGrid::kRows; ++row) {
    for (int column = 0; column < VEGrid::kColumns; ++column) {
      comparison.grid.push_back(CompareCell(a, b, row, column, row > VEGrid::kFirstExtendedRow));
    }
  }
  for (int column = 0; column < VEGrid::kColumns; ++column) {
    comparison.extendedRow2000.push_back(
        CompareCell(a, b, VEGrid::kFirstExtendedRow, column, true));
  }

  // The layouts differ by which 64 KiB half comes first; a byte of one file
  // is the byte of the other at the offset with that bit flipped.
  const std::int64_t swap = (a.layout->veOffset ^ b.layout->veOffset) & ImageCheck::kHalfSize;
  for (std::int64_t offsetA = 0; offsetA < comparison.a.size; ++offsetA) {
    if (InVeTables(*a.layout, offsetA)) continue;
    const std::int64_t offsetB = offsetA < ImageCheck::kImageSize ? offsetA ^ swap : offsetA;
    if (offsetB >= comparison.b.size) continue;
    const auto byteA = static_cast<std::uint8_t>(a.bytes[static_cast<std::size_t>(offsetA)]);
    const auto byteB = static_cast<std::uint8_t>(b.bytes[static_cast<std::size_t>(offsetB)]);
    if (byteA != byteB)
      comparison.others.push_back(OtherDifference{offsetA, offsetB, byteA, byteB});
  }
  return comparison;
}

std::string ComparisonJson(const ImageComparison& comparison) {
  Json cells = Json::array();
  for (const ComparedCell& cell : comparison.grid) cells.push_back(CellJson(cell));
  Json extended = Json::array();
  for (const ComparedCell& cell : comparison.extendedRow2000) extended.push_back(CellJson(cell));
  Json offsets = Json::array();
  Json others = Json::array();
  for (const OtherDifference& other : comparison.others) {
    offsets.push_back(other.offsetA);
    others.push_back(Json{
        {"offset_a", other.offsetA}, {"offset_b", other.offsetB}, {"a", other.a}, {"b", other.b}});
  }
  Json json;
  json["version"] = kCompareFormatVersion;
  json["a"] = comparison.a.given;
  json["b"] = comparison.b.given;
  json["a_image"] = SourceJson(comparison.a);
  json["b_image"] = SourceJson(comparison.b);
  json["differing_cells"] = comparison.DifferingCells();
  json["largest_rise"] = ExtremeJson(comparison.LargestRise());
  json["largest_fall"] = ExtremeJson(comparison.LargestFall());
  json["ve_cells"] = cells;
  json["extended_row_2000_differing"] = comparison.DifferingExtendedRow2000();
  json["extended_row_2000"] = extended;
  json["other_differing_offsets"] = offsets;
  json["other_differences"] = others;
  return json.dump(2) + "\n";
}

}  // namespace trimwright
