#include "common/Diagnostics.h"

#include <iostream>

namespace trimwright {

Diagnostics& Diagnostics::Standard() {
  static Diagnostics* const standard = new Diagnostics(std::cout, std::cerr);  // never destroyed
  return *standard;
}

void Diagnostics::Warning(const std::string& text) { out_ << text << std::endl; }

}  // namespace trimwright
