// A pass over an in-memory log on a calibration, in the steps a tuning run
// takes: the pass's first lines, the records, the report opened, the plan,
// the report written, the image written. For tests whose log is made in
// memory; a test with log files drives TuningRun itself.
#ifndef TRIMWRIGHT_TESTS_SUPPORT_PASSSTEPS_H_
#define TRIMWRIGHT_TESTS_SUPPORT_PASSSTEPS_H_

#include <cstdint>
#include <string>

#include "calibration/PCM.h"
#include "calibration/PassReport.h"
#include "common/Diagnostics.h"
#include "common/PreparedOutput.h"

namespace trimwright::testing {

inline PassPlan RunPassSteps(PCM& pcm, const LoggedData& data, std::int32_t targetBlm,
                             const std::string& reportPath, const PassLimits& limits = {},
                             Diagnostics& diagnostics = Diagnostics::Standard()) {
  pcm.BeginOptimize();
  pcm.AddLog(data, limits);
  PreparedOutput report = OpenReport(reportPath, diagnostics);
  PassPlan plan = pcm.PlanVETable(targetBlm, limits);
  SaveReport(report, reportPath, plan, diagnostics);
  pcm.ApplyPlan(plan);
  report.Finish();
  return plan;
}

}  // namespace trimwright::testing

#endif  // TRIMWRIGHT_TESTS_SUPPORT_PASSSTEPS_H_
