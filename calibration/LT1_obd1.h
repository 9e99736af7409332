// The LT1 OBD-I calibration image: the VE grid for an rpm limit, the PCM's
// fuel trim cell boundaries, the fuel trim table and the idle cell, and the
// pass over the main and extended VE tables. The image format (where each
// field lies) is an ImageLayout value; Tunercat and LT1edit supply theirs.
// Owns the open image (shared with the run that locked it early, when it
// did), its grid, the fuel trim table and the idle cell.
#ifndef TRIMWRIGHT_CALIBRATION_LT1_OBD1_H_
#define TRIMWRIGHT_CALIBRATION_LT1_OBD1_H_

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "calibration/ImageLayout.h"
#include "calibration/PCM.h"
#include "calibration/VEGrid.h"
#include "common/DiskFile.h"
#include "fueltrim/FuelTrimCell.h"
#include "fueltrim/FuelTrimTable.h"
#include "logdata/LoggedData.h"

namespace trimwright {

// How a calibration reaches its image file.
struct ImageAccess {
  // Opened read-only under a shared lock and never written (a dry run), or
  // read-write under an exclusive lock.
  bool readOnly = false;
  // The image already opened and locked by the run (held until both let go);
  // when empty or not open, the calibration opens and locks it itself.
  std::shared_ptr<DiskFile> file;
};

class LT1_obd1 : public PCM {
 public:
  static constexpr std::int32_t kIdleCellNumber = 16;
  static constexpr int kBoundaryBytes = 6;

  ~LT1_obd1() override;

  void OptimizeVETable(const LoggedData* data, std::int32_t targetBlm,
                       const std::string& logfileName) override;

  void BeginOptimize() override;
  void AddLog(const LoggedData& data, const AuxWindow& auxWindow) override;
  PassPlan PlanVETable(std::int32_t targetBlm, const PassLimits& limits) override;
  void ApplyPlan(const PassPlan& plan) override;

  // Reads the six boundary bytes at ftBoundsOffset and builds the fuel trim
  // table from them.
  void ReadFTCellBoundaries(std::int32_t ftBoundsOffset);

  // Plans VE cell (row, column) from its old value; a new value outside 0 to
  // 255 keeps the old one and gives the out-of-bounds warning.
  VECellPlan ModifyVECell(std::uint8_t oldValue, int row, int column, std::int32_t targetBlm,
                          const PassLimits& limits);

  // Exchanges the two bytes of word.
  static void SwapBytes16(std::uint16_t& word);

  const VEGrid& grid() const { return grid_; }
  const std::vector<std::int32_t>& ftRpmBounds() const { return ftRpmBounds_; }
  const std::vector<float>& ftMapBounds() const { return ftMapBounds_; }
  FuelTrimTable& fuelTrimTable() { return *fuelTrimTable_; }
  FuelTrimCell& idleCell() { return idleCell_; }

 protected:
  // Opens the image as access says and builds the VE grid for rpmLimit.
  // Throws TrimwrightError when the image cannot be opened or is being tuned
  // by another run. layout and diagnostics must outlive the object.
  LT1_obd1(const std::string& path, std::int32_t rpmLimit, const ImageLayout& layout,
           ImageAccess access, Diagnostics& sink);

  // For the image classes: writes the class's constructor line, refuses an
  // image too short for what a pass touches, and reads the boundaries.
  void CompleteConstruction();

 private:
  // The bytes [begin, end) of the image that a pass reads and writes.
  struct Span {
    std::int64_t begin;
    std::int64_t end;
  };

  Span TunedSpan() const;
  void RequireImageBytes(std::int64_t needed, std::int64_t size) const;
  [[noreturn]] void Fail(const std::string& message) const;

  const ImageLayout& layout_;
  std::string imagePath_;
  bool readOnly_;
  std::shared_ptr<DiskFile> pcmFile_;
  std::vector<std::int32_t> ftRpmBounds_;
  std::vector<float> ftMapBounds_;
  std::int32_t rpmLimit_;
  VEGrid grid_;
  float veScale_;
  std::unique_ptr<FuelTrimTable> fuelTrimTable_;
  FuelTrimCell idleCell_;
  std::array<std::uint32_t, VEGrid::kRows * VEGrid::kColumns> hits_{};
  std::uint32_t auxFilteredRecords_ = 0;
  std::map<std::int32_t, std::uint32_t> auxFilteredByCell_;  // by cell number
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_LT1_OBD1_H_
