#include "app/PassOutputs.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "app/PathRules.h"
#include "app/PlanJson.h"
#include "calibration/PassReport.h"
#include "common/TrimwrightError.h"

namespace trimwright {

void PassOutputs::Prepare() {
  if (writesReport_) report_.emplace(OpenReport(request_.logfileName, diagnostics_, fileSystem_));
  if (!request_.jsonPath.empty() && !json_.Prepare(request_.jsonPath)) {
    throw TrimwrightError("Unable to open JSON file " + request_.jsonPath + " (" +
                          std::generic_category().message(errno) + "); nothing was written");
  }
}

ReplacedReport PassOutputs::Replaced() const {
  ReplacedReport replaced;
  std::error_code error;
  if (!report_ || !std::filesystem::is_regular_file(request_.logfileName, error)) return replaced;
  replaced.path = ResolvedPath(request_.logfileName).string();
  replaced.existed = !report_->created();
  replaced.bytes = report_->before();
  return replaced;
}

void PassOutputs::Write(const PassPlan& plan) {
  if (report_) SaveReport(*report_, request_.logfileName, plan, diagnostics_);
  if (!request_.jsonPath.empty() && !json_.Write(PlanJson(plan, request_.dryRun))) {
    throw TrimwrightError("Unable to write JSON file " + request_.jsonPath +
                          "; the calibration image was not changed");
  }
}

void PassOutputs::Finish() {
  if (report_) report_->Finish();
  json_.Finish();
}

}  // namespace trimwright
