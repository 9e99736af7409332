#include "capture/DeviceCapture.h"

#include <sys/stat.h>

#include "app/OutputGuard.h"
#include "capture/SerialLine.h"
#include "capture/StopSignal.h"
#include "common/TrimwrightError.h"

namespace trimwright {

CaptureResult CaptureFromDevice(const CaptureRequest& request, const StopSignal& stop,
                                CaptureObserver* observer) {
  RefuseUnsafeOutputs({{request.logPath, "capture log", "capture log"}}, {request.device}, "");
  // Said before the device is touched; the log's creation checks it again.
  struct stat status;
  if (::lstat(request.logPath.c_str(), &status) == 0) {
    throw TrimwrightError("The capture log " + request.logPath +
                          " exists already; a capture never overwrites a file");
  }
  SerialLine line(request.device, &stop);
  const SteadyCaptureClock clock;
  CaptureSession session(line, clock, &stop, observer);
  return session.Run(request.logPath, request.limits, request.device);
}

}  // namespace trimwright
