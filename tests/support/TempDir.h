// The tests' scratch folders: a fresh directory under the system's temporary
// folder (or a base given), removed with its contents when it goes away.
#ifndef TRIMWRIGHT_TESTS_SUPPORT_TEMPDIR_H_
#define TRIMWRIGHT_TESTS_SUPPORT_TEMPDIR_H_

#include "tools/ScratchDir.h"

namespace trimwright::testing {

using TempDir = tools::ScratchDir;

}  // namespace trimwright::testing

#endif  // TRIMWRIGHT_TESTS_SUPPORT_TEMPDIR_H_
