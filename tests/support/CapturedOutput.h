// Captures what the code under test writes to std::cout and std::cerr for the
// lifetime of the object, restoring both streams afterwards.
#ifndef TRIMWRIGHT_TESTS_SUPPORT_CAPTUREDOUTPUT_H_
#define TRIMWRIGHT_TESTS_SUPPORT_CAPTUREDOUTPUT_H_

#include <iostream>
#include <sstream>
#include <string>

namespace trimwright::testing {

class CapturedOutput {
 public:
  CapturedOutput()
      : oldOut_(std::cout.rdbuf(out_.rdbuf())), oldErr_(std::cerr.rdbuf(err_.rdbuf())) {}
  ~CapturedOutput() {
    std::cout.rdbuf(oldOut_);
    std::cerr.rdbuf(oldErr_);
  }
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;

  std::string Stdout() const { return out_.str(); }
  std::string Stderr() const { return err_.str(); }
  // Forgets what was captured so far.
  void Clear() {
    out_.str("");
    err_.str("");
  }

 private:
  std::ostringstream out_;
  std::ostringstream err_;
  std::streambuf* oldOut_;
  std::streambuf* oldErr_;
};

}  // namespace trimwright::testing

#endif  // TRIMWRIGHT_TESTS_SUPPORT_CAPTUREDOUTPUT_H_
