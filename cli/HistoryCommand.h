// --history IMAGE: the passes recorded for an image, newest first, as text
// or (--json) the progress of its passes. Reads under the image's lock;
// changes nothing.
#ifndef TRIMWRIGHT_CLI_HISTORYCOMMAND_H_
#define TRIMWRIGHT_CLI_HISTORYCOMMAND_H_

#include "cli/ImageCommand.h"

namespace trimwright {

class HistoryCommand : public ImageCommand {
 public:
  HistoryCommand();

  int Run(const CommandLine& line) override;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CLI_HISTORYCOMMAND_H_
