#include "calibration/LT1edit.h"

#include <iostream>

namespace trimwright {

LT1edit::LT1edit(const std::string& path, std::int32_t rpmLimit) : LT1_obd1(path, rpmLimit) {
  CompleteConstruction("LT1edit", kOffsets);
}

LT1edit::~LT1edit() { std::cout << "LT1edit:  destructing" << std::endl; }

void LT1edit::OptimizeVETable(const LoggedData* data, std::int32_t targetBlm,
                              const std::string& logfileName) {
  OptimizeImage("LT1edit", kOffsets, data, targetBlm, logfileName);
}

}  // namespace trimwright
