// A capture from a serial device into a new log, as the front ends start it:
// the log's path checked by the output rules, the device opened, the session
// run on the machine's clock. Holds nothing between calls.
#ifndef TRIMWRIGHT_CAPTURE_DEVICECAPTURE_H_
#define TRIMWRIGHT_CAPTURE_DEVICECAPTURE_H_

#include <string>

#include "capture/CaptureSession.h"

namespace trimwright {

struct CaptureRequest {
  std::string device;
  std::string logPath;
  CaptureLimits limits;
};

// Captures request.device into request.logPath until a limit or until stop is
// requested. Throws TrimwrightError (status kFileOrMemory) before the device
// is opened when the log's path breaks an output rule or names an existing
// file, and as CaptureSession::Run says afterwards. stop must outlive the
// call; observer may be null.
CaptureResult CaptureFromDevice(const CaptureRequest& request, const StopSignal& stop,
                                CaptureObserver* observer);

}  // namespace trimwright

#endif  // TRIMWRIGHT_CAPTURE_DEVICECAPTURE_H_
