#include "capture/DeviceCapture.h"

#include <filesystem>
#include <system_error>

#include "app/OutputGuard.h"
#include "app/PathRules.h"
#include "capture/CaptureLog.h"
#include "capture/SerialLine.h"
#include "capture/StopSignal.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

namespace fs = std::filesystem;

// The image whose history folder (IMAGE.history beside it) holds path at any
// depth; empty when none does.
std::string ImageWhoseHistoryHolds(const std::string& path) {
  const fs::path resolved = ResolvedPath(path);
  for (fs::path folder = resolved.parent_path(); folder != folder.root_path();
       folder = folder.parent_path()) {
    if (folder.extension() != ".history") continue;
    fs::path image = folder;
    image.replace_extension();
    std::error_code error;
    if (fs::is_regular_file(image, error)) return image.string();
  }
  return {};
}

}  // namespace

CaptureResult CaptureFromDevice(const CaptureRequest& request, const StopSignal& stop,
                                CaptureObserver* observer) {
  // All said before the device is touched. A log is never an existing file,
  // so it cannot be any input or output of a pass; it is not the device, and
  // it does not go into an image's history.
  if (SameFile(request.logPath, request.device)) {
    throw TrimwrightError("The capture log " + request.logPath + " is the device " +
                          request.device + " itself");
  }
  const std::string image = ImageWhoseHistoryHolds(request.logPath);
  if (!image.empty()) {
    RefuseUnsafeOutputs({{request.logPath, "capture log", "capture log"}},
                        RunInputs{{request.device}, image, ""});
  }
  CaptureLog::RefuseExisting(request.logPath);
  SerialLine line(request.device, &stop);
  const SteadyCaptureClock clock;
  CaptureSession session(line, clock, &stop, observer);
  return session.Run(request.logPath, request.limits, request.device);
}

}  // namespace trimwright
