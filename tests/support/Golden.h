// Golden-file comparison: the expected text is checked in under
// tests/golden/; on a mismatch the test prints a unified diff and fails.
// Setting TRIMWRIGHT_UPDATE_GOLDEN=1 rewrites the file instead (then read it
// by hand before committing).
#ifndef TRIMWRIGHT_TESTS_SUPPORT_GOLDEN_H_
#define TRIMWRIGHT_TESTS_SUPPORT_GOLDEN_H_

#include <gtest/gtest.h>

#include <string>

namespace trimwright::testing {

::testing::AssertionResult MatchesGolden(const std::string& actual, const std::string& goldenName);

// text with every occurrence of from replaced by to; used to put a stand-in
// for a temporary folder's path before comparing with a golden file.
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);

}  // namespace trimwright::testing

#endif  // TRIMWRIGHT_TESTS_SUPPORT_GOLDEN_H_
