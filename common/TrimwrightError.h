// The one exception type of the core library. A failure that ends a tuning run
// (a file that cannot be opened, created or used, or memory that ran out)
// travels to the front end as a TrimwrightError carrying the diagnostic text and
// the exit status the command-line program uses for it.
#ifndef TRIMWRIGHT_COMMON_TRIMWRIGHTERROR_H_
#define TRIMWRIGHT_COMMON_TRIMWRIGHTERROR_H_

#include <stdexcept>
#include <string>

namespace trimwright {

// Exit statuses of the command-line program, decided in one place.
enum class ExitStatus : int {
  kSuccess = 0,       // the run reached "Processing complete"
  kEndedEarly = 1,    // the run ended with one of its messages
  kUsage = 2,         // the command line could not be understood
  kFileOrMemory = 3,  // a file could not be opened, created or used, or memory ran out
};

class TrimwrightError : public std::runtime_error {
 public:
  explicit TrimwrightError(const std::string& message,
                           ExitStatus status = ExitStatus::kFileOrMemory);

  ExitStatus status() const { return status_; }

  // True when the failure's own line already went to the error stream (a
  // reader's or the report's line), so that a front end writing its errors
  // there says it only once.
  bool saidOnErrorStream() const { return said_; }
  TrimwrightError& MarkSaidOnErrorStream() {
    said_ = true;
    return *this;
  }

 private:
  ExitStatus status_;
  bool said_ = false;
};

// A request that names or says what cannot be meant (a text that names no
// image, a range whose ends are out of order, a limit that is no number):
// what the user gave must change, not a file. The one place the core ties
// such a failure to the command line's usage status.
class InvalidRequestError : public TrimwrightError {
 public:
  explicit InvalidRequestError(const std::string& message)
      : TrimwrightError(message, ExitStatus::kUsage) {}
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_COMMON_TRIMWRIGHTERROR_H_
