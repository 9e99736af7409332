// How trimwright-cli ends: the one place that turns a failure into its line
// on standard error and its exit status. Functions only; they keep nothing.
#ifndef TRIMWRIGHT_CLI_EXITREPORTINGERRORS_H_
#define TRIMWRIGHT_CLI_EXITREPORTINGERRORS_H_

#include <CLI/CLI.hpp>

#include <functional>

#include "common/TrimwrightError.h"

namespace trimwright {

inline int ExitCode(ExitStatus status) { return static_cast<int>(status); }

// Runs work and returns its exit status. A failure it throws is said on
// standard error and ends with its status: a command line app cannot
// understand as app says it (help and version on standard output, status 0;
// anything else status kUsage), a TrimwrightError as "trimwright-cli: error:"
// and its message (unless its line was already said) with its own status, an
// image refused by its check with the hint to tune it anyway, memory that ran
// out with kFileOrMemory.
int ExitReportingErrors(const CLI::App& app, const std::function<int()>& work);

}  // namespace trimwright

#endif  // TRIMWRIGHT_CLI_EXITREPORTINGERRORS_H_
