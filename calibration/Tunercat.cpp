#include "calibration/Tunercat.h"

#include <iostream>

namespace trimwright {

Tunercat::Tunercat(const std::string& path, std::int32_t rpmLimit) : LT1_obd1(path, rpmLimit) {
  CompleteConstruction("Tunercat", kOffsets);
}

Tunercat::~Tunercat() { std::cout << "Tunercat:  destructing" << std::endl; }

void Tunercat::OptimizeVETable(const LoggedData* data, std::int32_t targetBlm,
                               const std::string& logfileName) {
  OptimizeImage("Tunercat", kOffsets, data, targetBlm, logfileName);
}

}  // namespace trimwright
