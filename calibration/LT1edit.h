// The LT1Edit .lt1 image: a .bin image with its two 64 KB halves exchanged,
// so the VE tables and the checksum lie in the lower half and the fuel trim
// boundaries in the upper. All reading, tuning and
// writing is LT1_obd1's; this class supplies the layout and its lines.
#ifndef TRIMWRIGHT_CALIBRATION_LT1EDIT_H_
#define TRIMWRIGHT_CALIBRATION_LT1EDIT_H_

#include <cstdint>
#include <string>

#include "calibration/LT1_obd1.h"

namespace trimwright {

class LT1edit : public LT1_obd1 {
 public:
  static constexpr ImageLayout kLayout{"LT1edit", "lt1", 0x1273F, 0x2BEE, 0x2C8A, 0x2015};

  // Opens the image and reads the fuel trim boundaries. REQUIRES: rpmLimit is
  // at most 7000. Throws TrimwrightError when the image cannot be opened, is
  // locked by another run or is too short for this run. sink must
  // outlive the object.
  LT1edit(const std::string& path, std::int32_t rpmLimit, ImageAccess access = {},
          Diagnostics& sink = Diagnostics::Standard());
  ~LT1edit() override;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_LT1EDIT_H_
