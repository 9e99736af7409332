#include "tests/support/Golden.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support/TempDir.h"
#include "tools/LogWriter.h"

namespace trimwright::testing {

::testing::AssertionResult MatchesGolden(const std::string& actual, const std::string& goldenName) {
  const std::string goldenPath = std::string(TRIMWRIGHT_GOLDEN_DIR) + "/" + goldenName;
  const char* update = std::getenv("TRIMWRIGHT_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    tools::WriteFile(goldenPath, actual);
    return ::testing::AssertionSuccess() << "rewrote " << goldenPath;
  }
  std::string expected;
  try {
    expected = tools::ReadFile(goldenPath);
  } catch (const std::exception&) {
    return ::testing::AssertionFailure() << "missing golden file " << goldenPath;
  }
  if (expected == actual) return ::testing::AssertionSuccess();

  TempDir dir;
  const std::string actualPath = dir.File(goldenName + ".actual");
  tools::WriteFile(actualPath, actual);
  std::string diff;
  const std::string command = "diff -u '" + goldenPath + "' '" + actualPath + "' 2>&1";
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) diff.append(buffer, got);
    pclose(pipe);
  }
  return ::testing::AssertionFailure() << goldenName << " differs from the output:\n" << diff;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

}  // namespace trimwright::testing
