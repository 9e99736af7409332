// The command-line program's stand-in for the window: each message a window
// would show in a box goes to a stream (standard error) as one line, and the
// progress bar is not drawn.
#ifndef TRIMWRIGHT_CLI_COMMANDLINEWINDOW_H_
#define TRIMWRIGHT_CLI_COMMANDLINEWINDOW_H_

#include <ostream>
#include <string>

#include "app/RunWindow.h"

namespace trimwright {

class CommandLineWindow : public RunWindow {
 public:
  // messages must outlive this object; each message is written to it as
  // prefix followed by the text and a line end.
  CommandLineWindow(std::ostream& messages, std::string prefix);

  void ShowMessage(const std::string& text) override;
  void SetProgress(int) override {}
  void RepaintProgress() override {}

 private:
  std::ostream& messages_;
  std::string prefix_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CLI_COMMANDLINEWINDOW_H_
