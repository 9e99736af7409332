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

}  // namespace trimwright::testing

#endif  // TRIMWRIGHT_TESTS_SUPPORT_GOLDEN_H_
