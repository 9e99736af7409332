#include "calibration/Tunercat.h"

#include <ostream>

namespace trimwright {

Tunercat::Tunercat(const std::string& path, std::int32_t rpmLimit, ImageAccess access,
                   Diagnostics& sink)
    : LT1_obd1(path, rpmLimit, kLayout, std::move(access), sink) {
  CompleteConstruction();
}

Tunercat::~Tunercat() { diagnostics().Out() << "Tunercat:  destructing" << std::endl; }

}  // namespace trimwright
