// --compare A B: two images side by side, as text on standard output or as
// JSON (--json); changes nothing. The object keeps nothing between its
// check and its run.
#ifndef TRIMWRIGHT_CLI_COMPARECOMMAND_H_
#define TRIMWRIGHT_CLI_COMPARECOMMAND_H_

#include "cli/Command.h"

namespace trimwright {

class CompareCommand : public Command {
 public:
  CompareCommand();

  bool Chosen(const CommandLine& line) const override;
  void Check(const CommandLine& line) override;
  int Run(const CommandLine& line) override;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CLI_COMPARECOMMAND_H_
