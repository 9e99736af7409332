#include "calibration/PCM.h"

#include <ostream>

namespace trimwright {

PCM::~PCM() { diagnostics_.Out() << "PCM:  destructing" << std::endl; }

}  // namespace trimwright
