#include "cli/ExitReportingErrors.h"

#include <iostream>
#include <new>

#include "app/TuningRun.h"
#include "cli/CommandLine.h"

namespace trimwright {

int ExitReportingErrors(const CLI::App& app, const std::function<int()>& work) {
  try {
    return work();
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? ExitCode(ExitStatus::kSuccess) : ExitCode(ExitStatus::kUsage);
  } catch (const ImageRefusedError& e) {
    std::cerr << kProgram << ": error: " << e.what() << "\n"
              << kProgram << ": to tune the image as it is anyway, add --ignore-checksum"
              << std::endl;
    return ExitCode(e.status());
  } catch (const TrimwrightError& e) {
    if (!e.saidOnErrorStream()) std::cerr << kProgram << ": error: " << e.what() << std::endl;
    return ExitCode(e.status());
  } catch (const std::bad_alloc& e) {
    std::cerr << kProgram << ": error: out of memory (" << e.what() << ")" << std::endl;
    return ExitCode(ExitStatus::kFileOrMemory);
  }
}

}  // namespace trimwright
