// A test fixture that owns a temporary folder and captures standard output
// and standard error, with helpers to write a synthetic log and read it back.
#ifndef TRIMWRIGHT_TESTS_SUPPORT_LOGFIXTURE_H_
#define TRIMWRIGHT_TESTS_SUPPORT_LOGFIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/CapturedOutput.h"
#include "tests/support/TempDir.h"
#include "tools/LogWriter.h"

namespace trimwright::testing {

class LogFixture : public ::testing::Test {
 protected:
  // Writes bytes to a file of the temporary folder and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.File(name);
    tools::WriteFile(path, bytes);
    return path;
  }

  // Reads the log at path with Reader while output is captured.
  template <typename Reader>
  std::unique_ptr<Reader> Read(const std::string& path) {
    return std::make_unique<Reader>(path);
  }

  TempDir dir_;
  CapturedOutput output_;
};

}  // namespace trimwright::testing

#endif  // TRIMWRIGHT_TESTS_SUPPORT_LOGFIXTURE_H_
