// The PCM's MAP by rpm grid of BLM cells, built from a calibration's rpm and
// MAP boundary lists. Its cells take the logged records of their BLM cell
// number (RecordSorter hands them over) and it blends the cells' adjustment
// factors for any VE cell.
// Owns its cells and its copies of both lists; created and deleted by the
// calibration object.
#ifndef TRIMWRIGHT_FUELTRIM_FUELTRIMTABLE_H_
#define TRIMWRIGHT_FUELTRIM_FUELTRIMTABLE_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "common/Diagnostics.h"
#include "fueltrim/FuelTrimCell.h"

namespace trimwright {

// The range of the second trim values (auxLeft and auxRight) a record must
// lie in to count; the default lets every record through.
struct AuxWindow {
  std::int32_t low = 0;
  std::int32_t high = 255;

  bool IsOpen() const { return low <= 0 && high >= 255; }
  bool Contains(std::int32_t auxLeft, std::int32_t auxRight) const {
    return auxLeft >= low && auxLeft <= high && auxRight >= low && auxRight <= high;
  }
};

class FuelTrimTable {
 public:
  // Cell n = i x (rpm bands) + j covers map band i and rpm band j. Writes the
  // construction lines, and later the no-match lines and the cells'
  // warnings, to diagnostics, which must outlive the table.
  FuelTrimTable(const std::vector<std::int32_t>& rpmBounds, const std::vector<float>& mapBounds,
                Diagnostics& diagnostics = Diagnostics::Standard());

  FuelTrimTable(const FuelTrimTable&) = delete;
  FuelTrimTable& operator=(const FuelTrimTable&) = delete;

  // Cells with fewer records than this count as no correction (factor 1.0).
  void SetMinRecords(std::int32_t minRecords) { minRecords_ = minRecords; }

  // The adjustment factor for the VE cell with these ranges: the factors of
  // the fuel trim cells at the rectangle's edges, weighted by overlap area.
  float FactorForVECell(std::int32_t rpmLow, std::int32_t rpmHigh, float mapLow, float mapHigh,
                        std::int32_t targetBlm);

  // The adjustment factor at one point (a VE cell's labels), interpolated
  // between the centres of the cells: bilinear between the four centres
  // around it, held constant beyond the outermost centres, so that a point
  // at a centre takes that cell's factor and the factor follows the data
  // without steps at the cells' edges. Each cell that weighs in is evaluated
  // with its warnings, as FactorForVECell evaluates them. Nothing for a table
  // whose centres do not ascend: it has no grid to interpolate on.
  std::optional<float> SmoothFactor(std::int32_t rpm, float map, std::int32_t targetBlm);

  std::int32_t CellCount() const { return cellCount_; }
  FuelTrimCell& Cell(std::int32_t number) { return cells_[static_cast<std::size_t>(number)]; }
  const FuelTrimCell& Cell(std::int32_t number) const {
    return cells_[static_cast<std::size_t>(number)];
  }

 private:
  FuelTrimCell& CellAt(int mapBand, int rpmBand);

  std::vector<std::int32_t> rpmBounds_;
  std::vector<float> mapBounds_;
  std::int32_t cellCount_;
  std::unique_ptr<FuelTrimCell[]> cells_;
  Diagnostics& diagnostics_;
  std::int32_t minRecords_ = 1;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_FUELTRIM_FUELTRIMTABLE_H_
