#include "logdata/Rejection.h"

namespace trimwright {

const char* RejectionName(Rejection rule) {
  switch (rule) {
    case Rejection::kAccepted:
      return "accepted";
    case Rejection::kUnreadable:
      return "unreadable";
    case Rejection::kCutOff:
      return "cut_off";
    case Rejection::kRpm:
      return "rpm";
    case Rejection::kMap:
      return "map";
    case Rejection::kBlmLeft:
      return "blm_left";
    case Rejection::kBlmRight:
      return "blm_right";
    case Rejection::kAuxLeft:
      return "aux_left";
    case Rejection::kAuxRight:
      return "aux_right";
    case Rejection::kThrottle:
      return "throttle";
    case Rejection::kTemperature:
      return "temperature";
    case Rejection::kBlmCell:
      return "blm_cell";
  }
  return "unknown";
}

}  // namespace trimwright
