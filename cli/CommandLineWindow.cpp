#include "cli/CommandLineWindow.h"

#include <utility>

namespace trimwright {

CommandLineWindow::CommandLineWindow(std::ostream& messages, std::string prefix)
    : messages_(messages), prefix_(std::move(prefix)) {}

void CommandLineWindow::ShowMessage(const std::string& text) {
  messages_ << prefix_ << text << std::endl;
}

}  // namespace trimwright
