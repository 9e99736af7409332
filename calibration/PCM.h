// The calibration image of an engine computer as a tuning run sees it: it
// tunes its VE tables from logged data in steps (logs in, a plan out, the plan
// applied apart), and is destroyed. Created with the image
// path by the run, which owns it for the run's length.
#ifndef TRIMWRIGHT_CALIBRATION_PCM_H_
#define TRIMWRIGHT_CALIBRATION_PCM_H_

#include <cstdint>
#include <string>

#include "calibration/PassLimits.h"
#include "calibration/PassPlan.h"
#include "calibration/RecordFates.h"
#include "calibration/RecordSample.h"
#include "common/Diagnostics.h"
#include "fueltrim/FuelTrimTable.h"
#include "logdata/LoggedData.h"

namespace trimwright {

class PCM {
 public:
  // diagnostics must outlive the object.
  explicit PCM(Diagnostics& diagnostics) : diagnostics_(diagnostics) {}
  virtual ~PCM();

  PCM(const PCM&) = delete;
  PCM& operator=(const PCM&) = delete;

  // The steps of a pass. BeginOptimize writes the pass's first lines; AddLog
  // takes the records of one log as the limits say (call it once per log, in
  // order, with the limits PlanVETable gets) and returns what became of each
  // record of the log;
  // PlanVETable computes every new byte without writing anything; ApplyPlan
  // writes the plan's bytes to the image in one write and syncs it.
  virtual void BeginOptimize() = 0;
  virtual RecordFates AddLog(const LoggedData& data, const PassLimits& limits) = 0;
  // Adds the records of one log to sample, each with the fate AddLog gives
  // it under the same limits. Changes nothing of the pass.
  virtual void SampleLog(const LoggedData& data, const PassLimits& limits,
                         RecordSample& sample) const = 0;
  virtual PassPlan PlanVETable(std::int32_t targetBlm, const PassLimits& limits) = 0;
  virtual void ApplyPlan(const PassPlan& plan) = 0;

 protected:
  Diagnostics& diagnostics() const { return diagnostics_; }

 private:
  Diagnostics& diagnostics_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CALIBRATION_PCM_H_
