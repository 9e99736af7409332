// One tuning run, the whole work of the program: it checks the inputs, reads
// the log with the reader its extension names, tunes the image with the class
// its extension names, and reports through the four operations of a
// RunWindow. It knows no toolkit, so both front ends and the tests drive it.
#ifndef TRIMWRIGHT_APP_TUNINGRUN_H_
#define TRIMWRIGHT_APP_TUNINGRUN_H_

#include <cstdint>
#include <memory>
#include <string>

#include "app/RunWindow.h"
#include "logdata/LoggedData.h"

namespace trimwright {

// Reads the log at logPath with the reader its extension names ("uni" or
// "UNI", "csv" or "CSV", "txt" or "TXT"); nullptr for any other extension.
// Throws TrimwrightError as the readers do.
std::unique_ptr<LoggedData> CreateLogReader(const std::string& logPath);

enum class RunOutcome {
  kCompleted,   // "Processing complete" was shown
  kEndedEarly,  // a message ended the run before anything was written
};

class TuningRun {
 public:
  // Longest field text the window hands over; longer text is cut.
  static constexpr std::size_t kFieldTextLimit = 78;

  // window must outlive the run object.
  explicit TuningRun(RunWindow& window) : window_(window) {}

  // Performs one run with the three stored paths. Stores the converted target
  // BLM and the clamped rpm limit in targetBlm and rpmLimit. Throws
  // TrimwrightError when a file cannot be opened, created or used, or memory
  // runs out; the objects of the run are destroyed before it leaves.
  RunOutcome Perform(const std::string& logPath, const std::string& pcmPath,
                     const std::string& logfileName, std::int32_t& targetBlm,
                     std::int32_t& rpmLimit);

 private:
  std::int32_t ReadNumberField(int controlId);

  RunWindow& window_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_TUNINGRUN_H_
