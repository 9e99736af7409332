// The PCM's MAP by rpm grid of BLM cells, built from a calibration's rpm and
// MAP boundary lists. It bins logged records by the BLM cell number the PCM
// logged with them and blends the cells' adjustment factors for any VE cell.
// Owns its cells and its copies of both lists; created and deleted by the
// calibration object.
#ifndef TRIMWRIGHT_FUELTRIM_FUELTRIMTABLE_H_
#define TRIMWRIGHT_FUELTRIM_FUELTRIMTABLE_H_

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "fueltrim/FuelTrimCell.h"
#include "logdata/LoggedData.h"

namespace trimwright {

class FuelTrimTable {
 public:
  // Cell n = i x (rpm bands) + j covers map band i and rpm band j. Writes the
  // construction lines to standard output.
  FuelTrimTable(const std::vector<std::int32_t>& rpmBounds, const std::vector<float>& mapBounds);

  FuelTrimTable(const FuelTrimTable&) = delete;
  FuelTrimTable& operator=(const FuelTrimTable&) = delete;

  // Hands every record with engineWarm set and highThrottle clear to the cell
  // whose number equals its blmCell. Call once.
  void Fill(const LoggedData& data);

  // Writes the fuel trim statistics section.
  void PrintStatistics(std::ostream& out) const;

  // The adjustment factor for the VE cell with these ranges: the factors of
  // the fuel trim cells at the rectangle's edges, weighted by overlap area.
  float FactorForVECell(std::int32_t rpmLow, std::int32_t rpmHigh, float mapLow, float mapHigh,
                        std::int32_t targetBlm);

  std::int32_t CellCount() const { return cellCount_; }
  FuelTrimCell& Cell(std::int32_t number) { return cells_[static_cast<std::size_t>(number)]; }

 private:
  FuelTrimCell& CellAt(int mapBand, int rpmBand);

  std::vector<std::int32_t> rpmBounds_;
  std::vector<float> mapBounds_;
  std::int32_t cellCount_;
  std::unique_ptr<FuelTrimCell[]> cells_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_FUELTRIM_FUELTRIMTABLE_H_
