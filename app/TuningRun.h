// One tuning run, the whole work of the program: it checks the request, locks
// the image, reads the logs with the readers their extensions name, plans the
// pass with the image class the image's extension names, writes the report
// and (unless it is a dry run) the image, and reports through a RunWindow. It
// knows no toolkit, so both front ends and the tests drive it.
#ifndef TRIMWRIGHT_APP_TUNINGRUN_H_
#define TRIMWRIGHT_APP_TUNINGRUN_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/FileFormats.h"
#include "app/RunRequest.h"
#include "app/RunWindow.h"
#include "calibration/ImageCheck.h"
#include "common/Diagnostics.h"
#include "common/FileSystem.h"
#include "common/TrimwrightError.h"
#include "logdata/LoggedData.h"

namespace trimwright {

// The check of the image at pcmPath, opened read-only under a shared lock
// and changed in nothing. Throws TrimwrightError when its extension names no
// layout, or it cannot be opened, locked or read.
ImageCheck CheckImageFile(const std::string& pcmPath);

// A pass refused because its image is not a sound calibration (ImageCheck);
// RunRequest::ignoreChecksum tunes it anyway.
class ImageRefusedError : public TrimwrightError {
 public:
  explicit ImageRefusedError(const std::string& message) : TrimwrightError(message) {}
};

class TuningRun {
 public:
  // window, diagnostics and fileSystem (through which every write of the
  // run goes) must outlive the run object.
  explicit TuningRun(RunWindow& window, Diagnostics& diagnostics = Diagnostics::Standard(),
                     FileSystem& fileSystem = FileSystem::Default())
      : window_(window), diagnostics_(diagnostics), fileSystem_(fileSystem) {}

  // Performs one run. The pass keeps the cells the image's locks hold (with
  // the request's changes, which a real pass that completes stores) and,
  // with a total limit, reads its baseline before any log. Throws
  // TrimwrightError when a file cannot be opened, created or used (the locks
  // file or the baseline too), another run holds the image, or memory runs
  // out, and ImageRefusedError (before any log is read) for an image that
  // fails its check; the objects of the run are destroyed before it leaves.
  RunResult Perform(const RunRequest& request);

  // True when targetBlm is a value a BLM can have, 0 to 255 (what an empty
  // or non-numeric field reads as, 0, included). A run refuses any other
  // target before it reads or writes anything.
  static bool AcceptsTargetBlm(std::int32_t targetBlm);

  // Writes a pass planned earlier by a dry run of request: the report and the
  // image, exactly as planned, under the image's lock. Throws
  // StalePreviewError, writing nothing, when a log, the image or its locks
  // are no longer as they were when the plan was made (its message names
  // each that changed); ImageRefusedError and TrimwrightError as Perform
  // does.
  void ApplyPreview(const RunRequest& request, const PassPlan& plan);

 private:
  struct Pass;

  // The checks of a request before anything is read: its names, its
  // outputs, its target BLM (refused outside 0 to 255, warned outside 118 to
  // 124) and its rpm limit (clamped to 7000). False when a message ended the
  // run; rpmLimit is the limit the pass uses.
  bool CheckRequest(const RunRequest& request, bool writesReport, std::int32_t& rpmLimit);
  // Locks the image, checks it and reads its locks and the baseline of the
  // total limit, before any log is read; the limits the pass runs with.
  PassLimits OpenImage(const RunRequest& request, Pass& pass);
  // Reads every log; false when a message ended the run.
  bool ReadLogs(const RunRequest& request, Pass& pass);
  // Hands the logs read to the calibration and plans the pass;
  // prepareOutputs runs in between, where a pass opens its outputs.
  PassPlan PlanPass(const RunRequest& request, const PassLimits& limits, Pass& pass,
                    const std::function<void()>& prepareOutputs);
  // The end of a run that completed: the bar to 100, the message of a pass
  // written, the bar back to 0.
  void Finish(bool written);

  RunWindow& window_;
  Diagnostics& diagnostics_;
  FileSystem& fileSystem_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_TUNINGRUN_H_
