#include "app/PassSession.h"

#include <exception>
#include <utility>

#include "app/CellLocks.h"
#include "app/HistoryCommands.h"
#include "app/TuningRun.h"
#include "calibration/ImageFile.h"
#include "common/TrimwrightError.h"

namespace trimwright {

std::optional<PassPlan> PassSession::Run(const RunRequest& request) {
  try {
    TuningRun run(view_, Diagnostics::Standard(), fileSystem_);
    return run.Perform(request).plan;
  } catch (const ImageRefusedError& error) {
    // Refused before any log was read: the bar the run moved goes back.
    view_.SetProgress(0);
    if (request.ignoreChecksum || !view_.AskTuneAnyway(error.what())) return std::nullopt;
    RunRequest anyway = request;
    anyway.ignoreChecksum = true;
    return Run(anyway);
  } catch (const TrimwrightError& error) {
    view_.SetProgress(0);
    view_.ShowError(error.what());
  } catch (const std::exception& error) {
    view_.SetProgress(0);
    view_.ShowError(std::string("Unexpected error: ") + error.what());
  }
  return std::nullopt;
}

void PassSession::Process(const RunRequest& request) {
  const std::optional<PassPlan> written = Run(request);
  previewRequest_.reset();
  previewPlan_.reset();
  if (written) view_.ShowPass(*written, false);
}

void PassSession::Preview(const RunRequest& request) {
  std::optional<PassPlan> plan = Run(request);
  if (!plan) return;
  previewRequest_ = request;
  previewPlan_ = std::move(plan);
  view_.ShowPass(*previewPlan_, true);
}

void PassSession::Apply(const std::string& logfileName) {
  if (!previewRequest_ || !previewPlan_) return;
  RunRequest request = *previewRequest_;
  request.dryRun = false;
  request.logfileName = logfileName;
  ApplyPreview(request);
}

void PassSession::ApplyPreview(const RunRequest& request) {
  try {
    TuningRun run(view_, Diagnostics::Standard(), fileSystem_);
    run.ApplyPreview(request, *previewPlan_);
    const PassPlan written = *previewPlan_;
    previewRequest_.reset();
    previewPlan_.reset();
    view_.ShowPass(written, false);
  } catch (const ImageRefusedError& error) {
    if (request.ignoreChecksum || !view_.AskTuneAnyway(error.what())) return;
    RunRequest anyway = request;
    anyway.ignoreChecksum = true;
    ApplyPreview(anyway);
  } catch (const StalePreviewError& error) {
    view_.ShowWarning(std::string(error.what()) + "; the pass is previewed again.");
    std::optional<PassPlan> plan = Run(*previewRequest_);
    if (plan) {
      previewPlan_ = std::move(plan);
      view_.ShowPass(*previewPlan_, true);
    } else {
      // Nothing left that Apply could write.
      previewRequest_.reset();
      previewPlan_.reset();
      view_.PreviewLost();
    }
  } catch (const TrimwrightError& error) {
    view_.ShowError(error.what());
  }
}

std::optional<std::vector<GridCell>> PassSession::ChangeLocks(const std::string& imagePath,
                                                              const std::vector<GridCell>& cells,
                                                              bool lock) {
  if (cells.empty()) {
    view_.ShowMessage(std::string("Select the VE cells to ") + (lock ? "lock" : "unlock") +
                      " in the grid first");
    return std::nullopt;
  }
  std::vector<GridCell> locks;
  try {
    const std::vector<GridCell> none;
    locks = CellLocks::Change(imagePath, lock ? cells : none, lock ? none : cells, nullptr,
                              fileSystem_);
  } catch (const TrimwrightError& error) {
    view_.ShowError(error.what());
    return std::nullopt;
  }
  if (previewRequest_ && previewPlan_) {
    std::optional<PassPlan> plan = Run(*previewRequest_);
    if (plan) {
      previewPlan_ = std::move(plan);
      view_.ShowPass(*previewPlan_, true);
    }
  }
  return locks;
}

void PassSession::Undo(const std::string& imagePath, int keepHistory) {
  if (imagePath.empty()) {
    view_.ShowMessage("Please enter a Tunercat file");
    return;
  }
  try {
    const std::optional<UndoCandidate> candidate = NewestPassToUndo(imagePath);
    if (!candidate) {
      view_.ShowMessage("No pass of " + imagePath + " is left to undo");
      return;
    }
    std::string question = "Undo pass " + DescribePass(candidate->pass) + " (" +
                           std::to_string(candidate->pass.cellsChanged) +
                           " cells changed)? The image is put back as it was before that pass.";
    if (!candidate->imageAsLeft) {
      question += "\n\nThe image is not as that pass left it (" + candidate->difference +
                  "): undoing it loses those changes too.";
    }
    if (!view_.Confirm(question)) return;
    view_.ShowMessage(
        UndoLastPass(imagePath, !candidate->imageAsLeft, keepHistory, fileSystem_).message);
  } catch (const TrimwrightError& error) {
    view_.ShowError(error.what());
  }
}

}  // namespace trimwright
