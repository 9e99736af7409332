// The rules every file a run writes (its report, its JSON) must keep, checked
// before the run reads anything: an output is never an input of the run (a
// log, the image or the baseline of its total limit), never lies in the
// image's history folder, and is never the same file as another output of
// the run, whatever symbolic link, hard link, ".." or second mount leads
// there: files and folders are compared by device and inode.
#ifndef TRIMWRIGHT_APP_OUTPUTGUARD_H_
#define TRIMWRIGHT_APP_OUTPUTGUARD_H_

#include <string>
#include <vector>

namespace trimwright {

// One file a run writes, with the words its messages use for it.
struct RunOutput {
  std::string path;
  const char* name;       // "report file"
  const char* shortName;  // "report"
};

// What a run reads: its logs, its image and the baseline its total limit
// counts from (empty when none is named).
struct RunInputs {
  std::vector<std::string> logPaths;
  std::string imagePath;
  std::string baselinePath;
};

// Throws TrimwrightError (status kFileOrMemory) naming the first output that
// breaks a rule.
void RefuseUnsafeOutputs(const std::vector<RunOutput>& outputs, const RunInputs& inputs);

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_OUTPUTGUARD_H_
