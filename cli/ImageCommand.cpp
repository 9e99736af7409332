#include "cli/ImageCommand.h"

#include <utility>

namespace trimwright {

namespace {

std::vector<std::string> WithOption(std::vector<std::string> accepted, const char* option) {
  accepted.push_back(option);
  return accepted;
}

}  // namespace

ImageCommand::ImageCommand(const char* option, std::string CommandLineValues::*image,
                           std::vector<std::string> accepted)
    : Command(WithOption(std::move(accepted), option)), option_(option), imageValue_(image) {}

bool ImageCommand::Chosen(const CommandLine& line) const { return line.Given(option_); }

void ImageCommand::Check(const CommandLine& line) {
  if (line.Given("--history") + line.Given("--undo") + line.Given("--locks") > 1) {
    throw CLI::ValidationError("--history, --undo and --locks exclude each other");
  }
  image_ = line.values().*imageValue_;
  std::vector<std::string> files = line.Positionals();
  if (image_.empty() && files.size() == 1) {
    image_ = files.front();
    files.clear();
  }
  if (!files.empty() || image_.empty()) {
    throw CLI::ValidationError(std::string(option_) + " takes one IMAGE and no LOGFILE");
  }
  // Taking an option of a pass silently would let "--undo car.bin --dry-run"
  // really undo.
  const std::string refused = FirstRefused(line);
  if (!refused.empty()) {
    throw CLI::ValidationError(refused + " does not go with " + option_);
  }
}

}  // namespace trimwright
