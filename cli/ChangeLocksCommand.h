// --lock and --unlock with an IMAGE alone, no log: changes the cells locked
// on the image, stores them, lists the locks now in force and says whether
// anything was written. Keeps the image from its check for its run.
#ifndef TRIMWRIGHT_CLI_CHANGELOCKSCOMMAND_H_
#define TRIMWRIGHT_CLI_CHANGELOCKSCOMMAND_H_

#include <string>

#include "cli/Command.h"

namespace trimwright {

class ChangeLocksCommand : public Command {
 public:
  ChangeLocksCommand();

  // Chosen when --lock or --unlock comes with exactly one file; with logs
  // they go to the pass.
  bool Chosen(const CommandLine& line) const override;
  void Check(const CommandLine& line) override;
  int Run(const CommandLine& line) override;

 private:
  std::string image_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CLI_CHANGELOCKSCOMMAND_H_
