// A tuning pass, the command when no other is chosen: LOGFILE... IMAGE and
// the options of a pass, read into one RunRequest, run by TuningRun with
// the diagnostic lines where -q and --json - want them. Keeps the request
// from its check for its run.
#ifndef TRIMWRIGHT_CLI_PASSCOMMAND_H_
#define TRIMWRIGHT_CLI_PASSCOMMAND_H_

#include "app/RunRequest.h"
#include "cli/Command.h"

namespace trimwright {

class PassCommand : public Command {
 public:
  PassCommand();

  bool Chosen(const CommandLine&) const override { return true; }
  // Refuses --force and a command line without a log and an image, then
  // reads the limits' texts.
  void Check(const CommandLine& line) override;
  // Status kEndedEarly when one of the run's messages ended it.
  int Run(const CommandLine& line) override;

 private:
  RunRequest request_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CLI_PASSCOMMAND_H_
