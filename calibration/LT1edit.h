// The LT1Edit .lt1 image: the two 64 KB halves of a .bin image exchanged, so the VE
// tables and the checksum lie in the lower half, the boundaries in the upper.
// All reading, tuning and writing is LT1_obd1's; this class supplies the
// offsets and its diagnostic lines.
#ifndef TRIMWRIGHT_CALIBRATION_LT1EDIT_H_
#define TRIMWRIGHT_CALIBRATION_LT1EDIT_H_

#include <cstdint>
#include <string>

#include "calibration/LT1_obd1.h"

namespace trimwright {

class LT1edit : public LT1_obd1 {
 public:
  // ftBoundsOffset, veOffset, extVeOffset, checksumOffset
  static constexpr ImageOffsets kOffsets{0x1273F, 0x2BEE, 0x2C8A, 0x2015};

  // Opens the image and reads the fuel trim boundaries. REQUIRES: rpmLimit is
  // at most 7000. Throws TrimwrightError when the image cannot be opened, is
  // locked by another run or is too short for this run.
  LT1edit(const std::string& path, std::int32_t rpmLimit);
  ~LT1edit() override;

  using LT1_obd1::OptimizeVETable;
  void OptimizeVETable(const LoggedData* data, std::int32_t targetBlm,
                       const std::string& logfileName) override;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_LT1EDIT_H_
