#include "app/CommandLineWindow.h"

#include <utility>

#include "app/ControlIds.h"

namespace trimwright {

CommandLineWindow::CommandLineWindow(std::string targetBlmText, std::string rpmLimitText,
                                     std::ostream& messages, std::string prefix)
    : targetBlmText_(std::move(targetBlmText)),
      rpmLimitText_(std::move(rpmLimitText)),
      messages_(messages),
      prefix_(std::move(prefix)) {}

void CommandLineWindow::ShowMessage(const std::string& text) {
  messages_ << prefix_ << text << std::endl;
}

std::string CommandLineWindow::FieldText(int controlId) {
  if (controlId == IDC_TARGET_BLM) return targetBlmText_;
  if (controlId == IDC_RPM_LIMIT) return rpmLimitText_;
  return std::string();
}

}  // namespace trimwright
