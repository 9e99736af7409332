// Why a reader left a record of a log out: the first rule it broke, or that
// its bytes could not be had. The readers count their rejections by rule, so
// that a pass can say where the records of a drive went. A plain enum with
// its names; owns nothing.
#ifndef TRIMWRIGHT_LOGDATA_REJECTION_H_
#define TRIMWRIGHT_LOGDATA_REJECTION_H_

#include <array>
#include <cstddef>
#include <cstdint>

namespace trimwright {

// A record's value out of range counts under the first of the rules in this
// order, whatever the order the reader decoded its fields in.
enum class Rejection : std::uint8_t {
  kAccepted,    // not a rejection: the reader stored the record
  kUnreadable,  // a line without the fields of a record, or a record that failed to read
  kCutOff,      // counted in the file but gone when read: the file shrank meanwhile
  kRpm,
  kMap,
  kBlmLeft,
  kBlmRight,
  kAuxLeft,
  kAuxRight,
  kThrottle,     // the text logs only
  kTemperature,  // the text logs only
  kBlmCell,
};

inline constexpr std::size_t kRejectionSlots = static_cast<std::size_t>(Rejection::kBlmCell) + 1;

// Records rejected, indexed by Rejection; the slot of kAccepted stays 0.
using RejectionCounts = std::array<std::uint64_t, kRejectionSlots>;

// The rule's name in the JSON and the grid: "unreadable", "cut_off", "rpm",
// "map", "blm_left", ..., "blm_cell".
const char* RejectionName(Rejection rule);

}  // namespace trimwright

#endif  // TRIMWRIGHT_LOGDATA_REJECTION_H_
