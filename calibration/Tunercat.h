// The Tunercat .bin image: the VE tables and the checksum lie in the upper
// 64 KB, the fuel trim boundaries in the lower 64 KB. All reading, tuning and
// writing is LT1_obd1's; this class supplies the layout and its lines.
#ifndef TRIMWRIGHT_CALIBRATION_TUNERCAT_H_
#define TRIMWRIGHT_CALIBRATION_TUNERCAT_H_

#include <cstdint>
#include <string>

#include "calibration/LT1_obd1.h"

namespace trimwright {

class Tunercat : public LT1_obd1 {
 public:
  static constexpr ImageLayout kLayout{"Tunercat", "bin", 0x273F, 0x12BEE, 0x12C8A, 0x12015};

  // Opens the image and reads the fuel trim boundaries. REQUIRES: rpmLimit is
  // at most 7000. Throws TrimwrightError when the image cannot be opened, is
  // locked by another run or is too short for this run. sink must
  // outlive the object.
  Tunercat(const std::string& path, std::int32_t rpmLimit, ImageAccess access = {},
           Diagnostics& sink = Diagnostics::Standard());
  ~Tunercat() override;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_TUNERCAT_H_
