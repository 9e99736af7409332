#include "common/Diagnostics.h"

#include <iostream>

#include "common/TrimwrightError.h"

namespace trimwright {

Diagnostics& Diagnostics::Standard() {
  static Diagnostics* const standard = new Diagnostics(std::cout, std::cerr);  // never destroyed
  return *standard;
}

void Diagnostics::FailOnErrorStream(const std::string& line, const std::string& message) const {
  err_ << line << std::endl;
  TrimwrightError error(message);
  throw error.MarkSaidOnErrorStream();
}

void Diagnostics::Warning(const std::string& text) { out_ << text << std::endl; }

}  // namespace trimwright
