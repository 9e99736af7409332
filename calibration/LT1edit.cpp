#include "calibration/LT1edit.h"

#include <ostream>

namespace trimwright {

LT1edit::LT1edit(const std::string& path, std::int32_t rpmLimit, ImageAccess access,
                 Diagnostics& sink)
    : LT1_obd1(path, rpmLimit, kLayout, std::move(access), sink) {
  CompleteConstruction();
}

LT1edit::~LT1edit() { diagnostics().Out() << "LT1edit:  destructing" << std::endl; }

}  // namespace trimwright
