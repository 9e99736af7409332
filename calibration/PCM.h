// The calibration image of an engine computer as a tuning run sees it: it can
// tune its VE tables from a logged data set and be destroyed. Created with the
// image path by the run, which owns it for the run's length.
#ifndef TRIMWRIGHT_CALIBRATION_PCM_H_
#define TRIMWRIGHT_CALIBRATION_PCM_H_

#include <cstdint>
#include <string>

#include "logdata/LoggedData.h"

namespace trimwright {

class PCM {
 public:
  PCM() = default;
  virtual ~PCM();

  PCM(const PCM&) = delete;
  PCM& operator=(const PCM&) = delete;

  // Tunes the VE tables of the image from data toward targetBlm and writes the
  // report to logfileName. data is only read and must outlive the call.
  // Throws TrimwrightError when the report or the image cannot be written.
  virtual void OptimizeVETable(const LoggedData* data, std::int32_t targetBlm,
                               const std::string& logfileName) = 0;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_PCM_H_
