#include "app/CellLocks.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "app/FileFormats.h"
#include "app/PassHistory.h"
#include "calibration/ImageFile.h"
#include "calibration/VEGrid.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

// The file: a comment, the version, one "cell=RPM:KPA" line per locked cell
// and the count of cells last, so that a file cut short is told from one
// with fewer locks.
constexpr char kHead[] = "# VE cells locked against tuning, one cell=RPM:KPA a line\n";
constexpr char kVersionLine[] = "version=1";
constexpr char kCellKey[] = "cell=";
constexpr char kCountKey[] = "cells=";

std::optional<std::int32_t> Number(const std::string& text) {
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// "1200:50" as a cell of the grid; nothing for a label the grid lacks.
std::optional<GridCell> CellOf(const std::string& text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return std::nullopt;
  const std::optional<std::int32_t> rpm = Number(text.substr(0, colon));
  const std::optional<std::int32_t> kpa = Number(text.substr(colon + 1));
  const VEGrid grid(0);
  if (!rpm || !kpa ||
      std::find(grid.veRpmAxis.begin(), grid.veRpmAxis.end(), *rpm) == grid.veRpmAxis.end() ||
      std::find(grid.veKpaAxis.begin(), grid.veKpaAxis.end(), *kpa) == grid.veKpaAxis.end()) {
    return std::nullopt;
  }
  return GridCell{*rpm, *kpa};
}

// The cells of a locks file's text, or the reason it is damaged.
std::vector<GridCell> Parse(const std::string& text, std::string& damage) {
  std::vector<GridCell> cells;
  bool version = false;
  std::optional<std::size_t> count;
  std::size_t start = 0;
  for (int number = 1; start < text.size() && damage.empty(); ++number) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const std::string where = "line " + std::to_string(number) + ", '" + line + "'";
    if (line.empty() || line[0] == '#') continue;
    if (count) {
      damage = where + ", follows the count of cells";
    } else if (!version) {
      if (line != kVersionLine) damage = where + ", is not version=1";
      version = true;
    } else if (StartsWith(line, kCellKey)) {
      const std::optional<GridCell> cell = CellOf(line.substr(sizeof(kCellKey) - 1));
      if (!cell) damage = where + ", names no VE cell";
      if (cell) cells.push_back(*cell);
    } else if (StartsWith(line, kCountKey)) {
      const std::optional<std::int32_t> n = Number(line.substr(sizeof(kCountKey) - 1));
      if (!n || static_cast<std::size_t>(*n) != cells.size()) {
        damage =
            where + ", does not count the " + std::to_string(cells.size()) + " cell(s) above it";
      }
      count = cells.size();
    } else {
      damage = where + ", is not understood";
    }
  }
  if (damage.empty() && !count) damage = "it is cut short: the count of cells is missing";
  std::sort(cells.begin(), cells.end());
  cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
  return cells;
}

}  // namespace

std::string CellLocks::PathFor(const std::string& imagePath) {
  return PassHistory(imagePath).FilePath(kFileName);
}

std::vector<GridCell> CellLocks::Read(const std::string& imagePath) {
  const std::optional<std::string> text = PassHistory(imagePath).ReadFile(kFileName);
  if (!text) return {};
  std::string damage;
  std::vector<GridCell> cells = Parse(*text, damage);
  if (!damage.empty()) {
    throw TrimwrightError("The locks file " + PathFor(imagePath) + " is damaged (" + damage +
                          "), so the cells locked on " + imagePath +
                          " are not known; nothing was written. Mend the file, or remove it to "
                          "unlock every cell");
  }
  return cells;
}

void CellLocks::Store(const std::string& imagePath, const std::vector<GridCell>& cells,
                      FileSystem& fileSystem) {
  std::string text = std::string(kHead) + kVersionLine + "\n";
  for (const GridCell& cell : cells) {
    text += kCellKey + std::to_string(cell.rpm) + ":" + std::to_string(cell.kpa) + "\n";
  }
  text += kCountKey + std::to_string(cells.size()) + "\n";
  PassHistory(imagePath, fileSystem).ReplaceFile(kFileName, text);
}

std::vector<GridCell> CellLocks::Changed(const std::vector<GridCell>& locked,
                                         const std::vector<GridCell>& lock,
                                         const std::vector<GridCell>& unlock) {
  std::vector<GridCell> cells = locked;
  cells.insert(cells.end(), lock.begin(), lock.end());
  std::sort(cells.begin(), cells.end());
  cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
  std::erase_if(cells, [&unlock](const GridCell& cell) {
    return std::find(unlock.begin(), unlock.end(), cell) != unlock.end();
  });
  return cells;
}

std::string CellLocks::Listing(const std::string& imagePath, const std::vector<GridCell>& cells) {
  if (cells.empty()) return "No VE cell of " + imagePath + " is locked\n";
  std::string text = std::to_string(cells.size()) + " VE cell(s) of " + imagePath +
                     " locked (no pass changes them):\n";
  for (std::size_t k = 0; k < cells.size();) {
    std::size_t end = k;
    while (end < cells.size() && cells[end].rpm == cells[k].rpm) ++end;
    text += "  " +
            DescribeCells({cells.begin() + static_cast<std::ptrdiff_t>(k),
                           cells.begin() + static_cast<std::ptrdiff_t>(end)}) +
            "\n";
    k = end;
  }
  return text;
}

std::vector<GridCell> CellLocks::ReadLocked(const std::string& imagePath) {
  const std::shared_ptr<ImageFile> image = ImageFile::OpenLocked(imagePath, true);
  return Read(imagePath);
}

std::vector<GridCell> CellLocks::Change(const std::string& imagePath,
                                        const std::vector<GridCell>& lock,
                                        const std::vector<GridCell>& unlock, bool* stored,
                                        FileSystem& fileSystem) {
  // Locks stored beside a log or any other file would hold nothing back.
  if (!FindImageFormat(imagePath)) {
    throw TrimwrightError("Unknown type of pcm file " + imagePath +
                          " (a calibration image is a .bin or .lt1 file); no lock was stored");
  }
  const std::shared_ptr<ImageFile> image = ImageFile::OpenLocked(imagePath, false, fileSystem);
  const std::vector<GridCell> before = Read(imagePath);
  const std::vector<GridCell> after = Changed(before, lock, unlock);
  if (after != before) Store(imagePath, after, fileSystem);
  if (stored) *stored = after != before;
  return after;
}

}  // namespace trimwright
