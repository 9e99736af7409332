#include "common/TrimwrightError.h"

namespace trimwright {

TrimwrightError::TrimwrightError(const std::string& message, ExitStatus status)
    : std::runtime_error(message), status_(status) {}

}  // namespace trimwright
