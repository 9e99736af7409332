// The rules every file a run writes (its report, its JSON) must keep, checked
// before the run reads anything: an output is never an input of the run (a
// log or the image), never lies in the image's history folder, and is never
// the same file as another output of the run, whatever symbolic link, hard
// link or ".." leads there.
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

// Throws TrimwrightError (status kFileOrMemory) naming the first output that
// breaks a rule.
void RefuseUnsafeOutputs(const std::vector<RunOutput>& outputs,
                         const std::vector<std::string>& logPaths, const std::string& imagePath);

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_OUTPUTGUARD_H_
