// --undo IMAGE: puts back an image as it was before its newest pass not yet
// undone, and says so on standard error.
#ifndef TRIMWRIGHT_CLI_UNDOCOMMAND_H_
#define TRIMWRIGHT_CLI_UNDOCOMMAND_H_

#include "cli/ImageCommand.h"

namespace trimwright {

class UndoCommand : public ImageCommand {
 public:
  UndoCommand();

  // Status kEndedEarly when no pass is left to undo.
  int Run(const CommandLine& line) override;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CLI_UNDOCOMMAND_H_
