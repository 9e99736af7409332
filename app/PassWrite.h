// Writes a planned pass with its history kept around it: the image as it
// was is saved as a history entry before anything is written, the pass's
// outputs and locks are written, then the image, and the entry counts as
// done only once that write succeeded. Keeps nothing.
#ifndef TRIMWRIGHT_APP_PASSWRITE_H_
#define TRIMWRIGHT_APP_PASSWRITE_H_

#include <functional>
#include <vector>

#include "app/PassOutputs.h"
#include "app/RunRequest.h"
#include "calibration/CellRange.h"
#include "calibration/PassPlan.h"
#include "common/FileSystem.h"

namespace trimwright {

// Writes the pass plan of request: its outputs (prepared), then the image
// with write, keeping its history (unless the request says not to, or the
// pass changes no byte) and storing the plan's locks where they differ from
// storedLocks, the locks the pass found. A write that fails and is taken
// back discards the entry and puts the outputs and locks back; one that
// cannot be taken back keeps the entry and the outputs, and says so. Every
// write goes through fileSystem. Throws TrimwrightError.
// REQUIRES: the image's exclusive lock is held.
void WriteKeepingHistory(const RunRequest& request, const PassPlan& plan, PassOutputs& outputs,
                         const std::function<void()>& write,
                         const std::vector<GridCell>& storedLocks, FileSystem& fileSystem);

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_PASSWRITE_H_
