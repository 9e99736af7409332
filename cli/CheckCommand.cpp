#include "cli/CheckCommand.h"

#include <iostream>

#include "app/TuningRun.h"
#include "cli/ExitReportingErrors.h"

namespace trimwright {

CheckCommand::CheckCommand() : Command({"--check", "--quiet"}) {}

bool CheckCommand::Chosen(const CommandLine& line) const { return line.Given("--check"); }

void CheckCommand::Check(const CommandLine& line) {
  if (!FirstRefused(line).empty() || !line.Positionals().empty()) {
    throw CLI::ValidationError("--check takes images and -q only, no other option or LOGFILE");
  }
}

int CheckCommand::Run(const CommandLine& line) {
  const std::vector<std::string>& images = line.values().checkImages;
  const bool quiet = line.values().quiet;
  int status = ExitCode(ExitStatus::kSuccess);
  for (std::size_t k = 0; k < images.size(); ++k) {
    if (k > 0 && !quiet) std::cout << "\n";
    const int imageStatus = ExitReportingErrors(line.app(), [&] {
      const ImageCheck check = CheckImageFile(images[k]);
      // Quiet: the exit status alone says whether every image is sound.
      if (!quiet) std::cout << check.Describe(images[k]) << std::flush;
      return ExitCode(check.Sound() ? ExitStatus::kSuccess : ExitStatus::kFileOrMemory);
    });
    if (imageStatus != ExitCode(ExitStatus::kSuccess)) status = imageStatus;
  }
  return status;
}

}  // namespace trimwright
