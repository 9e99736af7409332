#include "capture/DeviceCapture.h"

#include "app/OutputGuard.h"
#include "app/PathRules.h"
#include "capture/CaptureLog.h"
#include "capture/SerialLine.h"
#include "capture/StopSignal.h"
#include "common/TrimwrightError.h"

namespace trimwright {

CaptureResult CaptureFromDevice(const CaptureRequest& request, const StopSignal& stop,
                                CaptureObserver* observer) {
  // Said before the device is touched.
  if (SameFile(request.logPath, request.device)) {
    throw TrimwrightError("The capture log " + request.logPath + " is the device " +
                          request.device + " itself");
  }
  RefuseUnsafeOutputs({{request.logPath, "capture log", "capture log"}}, {request.device}, "");
  CaptureLog::RefuseExisting(request.logPath);
  SerialLine line(request.device, &stop);
  const SteadyCaptureClock clock;
  CaptureSession session(line, clock, &stop, observer);
  return session.Run(request.logPath, request.limits, request.device);
}

}  // namespace trimwright
