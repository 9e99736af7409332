// A window's tuning session: Process (a pass written), Preview (a pass
// planned and kept, which Apply writes exactly), locking cells and planning
// the preview again, and undoing the newest pass. It keeps the last preview
// and knows no toolkit: it reaches the user through a SessionView, which the
// window implements and the tests fake. The refusals of a run (an image its
// check refused, inputs changed since the preview) are handled here, asking
// the view where the user decides.
#ifndef TRIMWRIGHT_APP_PASSSESSION_H_
#define TRIMWRIGHT_APP_PASSSESSION_H_

#include <optional>
#include <string>
#include <vector>

#include "app/RunRequest.h"
#include "app/RunWindow.h"
#include "calibration/CellRange.h"
#include "calibration/PassPlan.h"
#include "common/FileSystem.h"

namespace trimwright {

// What a session needs of its window besides a run's three operations.
class SessionView : public RunWindow {
 public:
  // A failure: a file that cannot be used, a refusal.
  virtual void ShowError(const std::string& text) = 0;
  // Something to heed that is no failure (a preview planned again).
  virtual void ShowWarning(const std::string& text) = 0;
  // Why a pass refused its image; true when the user wants it tuned as it is.
  virtual bool AskTuneAnyway(const std::string& refusal) = 0;
  // A question before something is changed; true to go on.
  virtual bool Confirm(const std::string& question) = 0;
  // A pass written (preview false) or planned (preview true).
  virtual void ShowPass(const PassPlan& plan, bool preview) = 0;
  // The preview shown can no longer be written (its inputs are gone).
  virtual void PreviewLost() = 0;
};

class PassSession {
 public:
  // view and fileSystem must outlive the session.
  explicit PassSession(SessionView& view, FileSystem& fileSystem = FileSystem::Default())
      : view_(view), fileSystem_(fileSystem) {}
  PassSession(const PassSession&) = delete;
  PassSession& operator=(const PassSession&) = delete;

  // A real pass of request, shown when it completed; forgets the preview.
  void Process(const RunRequest& request);
  // A dry run of request, shown and kept for Apply when it completed.
  void Preview(const RunRequest& request);
  // Writes the pass last previewed, with its report at logfileName. Inputs
  // changed since the preview are said, and the pass is previewed again.
  void Apply(const std::string& logfileName);
  bool HasPreview() const { return previewPlan_.has_value(); }
  const std::optional<PassPlan>& previewPlan() const { return previewPlan_; }

  // Locks (or unlocks) cells on the image at imagePath, stored at once, and
  // plans the preview again so that Apply writes what is shown. The locks
  // now in force; nothing when they could not be changed (said).
  std::optional<std::vector<GridCell>> ChangeLocks(const std::string& imagePath,
                                                   const std::vector<GridCell>& cells, bool lock);

  // Puts back the image at imagePath as it was before its newest pass, once
  // the user confirmed, keeping keepHistory entries.
  void Undo(const std::string& imagePath, int keepHistory);

 private:
  // Runs request; a refused image is tuned anyway when the user says so. The
  // plan when it completed; every failure said.
  std::optional<PassPlan> Run(const RunRequest& request);
  void ApplyPreview(const RunRequest& request);

  SessionView& view_;
  FileSystem& fileSystem_;
  std::optional<RunRequest> previewRequest_;
  std::optional<PassPlan> previewPlan_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_PASSSESSION_H_
