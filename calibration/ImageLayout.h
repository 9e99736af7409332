// Where an image format keeps the fields a pass reads and writes, and the
// name its diagnostic lines carry. The two formats are the same calibration
// at different offsets, so a format is this value and nothing more.
#ifndef TRIMWRIGHT_CALIBRATION_IMAGELAYOUT_H_
#define TRIMWRIGHT_CALIBRATION_IMAGELAYOUT_H_

#include <cstdint>

namespace trimwright {

// A stored VE byte b means b x kVePercentPerCount percent.
inline constexpr float kVePercentPerCount = 0.390588f;

// A stored rpm boundary b of the fuel trim table means b x
// kRpmPerBoundaryCount rpm; the table's last rpm cell ends at kTopRpmBound
// rpm and its last MAP cell at kTopMapBound kPa.
inline constexpr std::int32_t kRpmPerBoundaryCount = 25;
inline constexpr std::int32_t kTopRpmBound = 7000;
inline constexpr std::int32_t kTopMapBound = 104;

struct ImageLayout {
  const char* className;        // "Tunercat" or "LT1edit"
  const char* extension;        // "bin" or "lt1", the name a tuner knows the layout by
  std::int32_t ftBoundsOffset;  // six boundary bytes: three rpm / 25, three kPa
  std::int32_t veOffset;        // main VE table, 9 rows of 17 bytes
  std::int32_t extVeOffset;     // extended VE table, from the 2000 rpm row up
  std::int32_t checksumOffset;  // 16-bit big-endian additive checksum
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_IMAGELAYOUT_H_
