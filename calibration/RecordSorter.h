// The walk over a pass's logs: it sorts every usable record into the fuel
// trim cell the engine computer logged it in and into the idle cell, and
// counts what the plan shows besides them: the learning records behind each
// VE cell (hits), the idle cell's records behind each (idle hits) and the
// records the second trim window left out, by the cell they were logged in. Holds counts only; the
// cells it fills are the calibration's and are handed to each Add.
#ifndef TRIMWRIGHT_CALIBRATION_RECORDSORTER_H_
#define TRIMWRIGHT_CALIBRATION_RECORDSORTER_H_

#include <array>
#include <cstdint>
#include <map>

#include "calibration/RecordFates.h"
#include "calibration/VEGrid.h"
#include "fueltrim/FuelTrimCell.h"
#include "fueltrim/FuelTrimTable.h"
#include "logdata/LoggedData.h"

namespace trimwright {

class RecordSorter {
 public:
  // Takes the records of one more log. A record counts when the engine was
  // warm; it goes to the table's cell of its number unless it was logged at
  // high throttle, and to the idle cell when logged there (at any throttle).
  // Outside the window it stays out of both. An open window lets every
  // record through. With addSecondTrim the cells take each bank's trim as
  // BLM + second trim - 128, clamped to 0 to 255. Returns the fates of the
  // log's records that the walk decides: all but read and the reader's
  // rejections.
  RecordFates Add(const LoggedData& data, const AuxWindow& window, bool addSecondTrim,
                  FuelTrimTable& table, FuelTrimCell& idleCell);

  // The trim a cell takes of a bank with the second trim added.
  static std::int32_t WithSecondTrim(std::int32_t blm, std::int32_t secondTrim);

  // The records the fuel trim table took (Hits) and those the idle cell took
  // (IdleHits) whose rpm and MAP lie in the VE cell's band; a record counts
  // in one of them at most.
  std::uint32_t Hits(int row, int column) const {
    return hits_[static_cast<std::size_t>(row * VEGrid::kColumns + column)];
  }
  std::uint32_t IdleHits(int row, int column) const {
    return idleHits_[static_cast<std::size_t>(row * VEGrid::kColumns + column)];
  }
  // Records the window kept out of the statistics of the table or the idle
  // cell, and how many of them each cell logged (idle and table records
  // alike).
  std::uint32_t AuxFilteredRecords() const { return auxFilteredRecords_; }
  const std::map<std::int32_t, std::uint32_t>& AuxFilteredByCell() const {
    return auxFilteredByCell_;
  }

 private:
  template <bool kAddSecondTrim>
  void Walk(const LoggedData& data, const AuxWindow& window, FuelTrimTable& table,
            FuelTrimCell& idleCell, RecordFates& fates);

  std::array<std::uint32_t, VEGrid::kRows * VEGrid::kColumns> hits_{};
  std::array<std::uint32_t, VEGrid::kRows * VEGrid::kColumns> idleHits_{};
  std::uint32_t auxFilteredRecords_ = 0;
  std::map<std::int32_t, std::uint32_t> auxFilteredByCell_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_RECORDSORTER_H_
