// --check IMAGE...: whether each image is a sound calibration and what it
// holds; changes nothing. The object keeps nothing between its check and
// its run.
#ifndef TRIMWRIGHT_CLI_CHECKCOMMAND_H_
#define TRIMWRIGHT_CLI_CHECKCOMMAND_H_

#include "cli/Command.h"

namespace trimwright {

class CheckCommand : public Command {
 public:
  CheckCommand();

  bool Chosen(const CommandLine& line) const override;
  void Check(const CommandLine& line) override;
  // Checks every image, one failing not stopping the others; the status is
  // that of the last image that was not sound or could not be checked.
  int Run(const CommandLine& line) override;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CLI_CHECKCOMMAND_H_
