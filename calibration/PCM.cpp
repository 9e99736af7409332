#include "calibration/PCM.h"

#include <iostream>

namespace trimwright {

PCM::~PCM() { std::cout << "PCM:  destructing" << std::endl; }

}  // namespace trimwright
