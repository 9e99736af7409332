// The window's side of a run driven by a test: messages kept, one per line,
// and the progress bar ignored.
#ifndef TRIMWRIGHT_TESTS_SUPPORT_QUIETWINDOW_H_
#define TRIMWRIGHT_TESTS_SUPPORT_QUIETWINDOW_H_

#include <string>

#include "app/RunWindow.h"

namespace trimwright::testing {

class QuietWindow : public RunWindow {
 public:
  void ShowMessage(const std::string& text) override { messages += text + "\n"; }
  void SetProgress(int) override {}
  void RepaintProgress() override {}

  std::string messages;
};

}  // namespace trimwright::testing

#endif  // TRIMWRIGHT_TESTS_SUPPORT_QUIETWINDOW_H_
