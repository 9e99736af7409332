// The report and the JSON of one pass: opened before the history entry and
// the image are touched (so that a path that cannot be written refuses the
// pass first), written before the image, and put back as they were when a
// later step fails (by their destructor, unless finished). Owns the open
// files; the request, diagnostics and file system it is given must outlive
// it.
#ifndef TRIMWRIGHT_APP_PASSOUTPUTS_H_
#define TRIMWRIGHT_APP_PASSOUTPUTS_H_

#include <optional>
#include <string>

#include "app/RunRequest.h"
#include "calibration/PassPlan.h"
#include "common/Diagnostics.h"
#include "common/FileSystem.h"
#include "common/PreparedOutput.h"

namespace trimwright {

// The report a pass is about to replace, as its history entry keeps it: by
// its absolute path (a plain file only), and its bytes when it had any.
struct ReplacedReport {
  std::string path;
  bool existed = false;
  std::optional<std::string> bytes;
};

class PassOutputs {
 public:
  // writesReport: the pass writes a report (a dry run only where one is
  // named).
  PassOutputs(const RunRequest& request, bool writesReport, Diagnostics& diagnostics,
              FileSystem& fileSystem)
      : request_(request),
        writesReport_(writesReport),
        diagnostics_(diagnostics),
        json_(fileSystem),
        fileSystem_(fileSystem) {}
  PassOutputs(const PassOutputs&) = delete;
  PassOutputs& operator=(const PassOutputs&) = delete;

  // Opens every output. Throws TrimwrightError when one cannot be opened.
  void Prepare();
  // The report the pass replaces, for its history entry.
  ReplacedReport Replaced() const;
  // Writes every output from plan. Throws TrimwrightError when one cannot
  // be written.
  void Write(const PassPlan& plan);
  // Keeps what Write wrote.
  void Finish();

 private:
  const RunRequest& request_;
  bool writesReport_;
  Diagnostics& diagnostics_;
  std::optional<PreparedOutput> report_;
  PreparedOutput json_;
  FileSystem& fileSystem_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_PASSOUTPUTS_H_
