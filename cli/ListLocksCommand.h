// --locks IMAGE: lists the VE cells locked on an image, read under its
// lock; changes nothing.
#ifndef TRIMWRIGHT_CLI_LISTLOCKSCOMMAND_H_
#define TRIMWRIGHT_CLI_LISTLOCKSCOMMAND_H_

#include "cli/ImageCommand.h"

namespace trimwright {

class ListLocksCommand : public ImageCommand {
 public:
  ListLocksCommand();

  int Run(const CommandLine& line) override;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CLI_LISTLOCKSCOMMAND_H_
