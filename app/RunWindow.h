// What a tuning run needs of the window that starts it: three operations. The
// window implements them with its widgets, the command-line program with
// standard error, and tests with a recording fake.
#ifndef TRIMWRIGHT_APP_RUNWINDOW_H_
#define TRIMWRIGHT_APP_RUNWINDOW_H_

#include <string>

namespace trimwright {

class RunWindow {
 public:
  virtual ~RunWindow() = default;

  // Shows text modally with an OK button; returns once it was dismissed.
  virtual void ShowMessage(const std::string& text) = 0;

  // Moves the progress bar (range 0 to 100) without waiting for a repaint.
  virtual void SetProgress(int position) = 0;

  // Erases and repaints the progress bar before returning.
  virtual void RepaintProgress() = 0;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_RUNWINDOW_H_
