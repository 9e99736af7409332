// The LT1 OBD-I calibration image as a pass sees it: the open image (with its
// lock and its layout, which Tunercat and LT1edit supply), the VE grid for an
// rpm limit, the engine computer's fuel trim cell boundaries, the fuel trim
// table and the idle cell. Its steps hand the work on: the records to a
// RecordSorter, the plan to a VEPlanner, the writing to the ImageFile. Owns
// the open image (shared with the run that locked it early, when it did),
// its grid, the fuel trim table and the idle cell.
#ifndef TRIMWRIGHT_CALIBRATION_LT1_OBD1_H_
#define TRIMWRIGHT_CALIBRATION_LT1_OBD1_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "calibration/ImageFile.h"
#include "calibration/ImageLayout.h"
#include "calibration/PCM.h"
#include "calibration/RecordSorter.h"
#include "calibration/VEGrid.h"
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
  std::shared_ptr<ImageFile> file;
};

class LT1_obd1 : public PCM {
 public:
  static constexpr std::int32_t kIdleCellNumber = 16;
  static constexpr int kBoundaryBytes = 6;

  ~LT1_obd1() override;

  void BeginOptimize() override;
  RecordFates AddLog(const LoggedData& data, const PassLimits& limits) override;
  void SampleLog(const LoggedData& data, const PassLimits& limits,
                 RecordSample& sample) const override;
  PassPlan PlanVETable(std::int32_t targetBlm, const PassLimits& limits) override;
  void ApplyPlan(const PassPlan& plan) override;

  // Reads the six boundary bytes at ftBoundsOffset and builds the fuel trim
  // table from them.
  void ReadFTCellBoundaries(std::int32_t ftBoundsOffset);

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
  void RequireImageBytes(std::int64_t needed, std::int64_t size) const;
  // Writes "LT1_obd1:  " and message as a diagnostic line and throws it.
  [[noreturn]] void Fail(const std::string& message) const;

  const ImageLayout& layout_;
  std::string imagePath_;
  bool readOnly_;
  std::shared_ptr<ImageFile> pcmFile_;
  std::vector<std::int32_t> ftRpmBounds_;
  std::vector<float> ftMapBounds_;
  std::int32_t rpmLimit_;
  VEGrid grid_;
  std::unique_ptr<FuelTrimTable> fuelTrimTable_;
  FuelTrimCell idleCell_;
  RecordSorter sorter_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_LT1_OBD1_H_
