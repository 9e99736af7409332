#include "cli/CommandJson.h"

#include <cerrno>
#include <iostream>
#include <system_error>

#include "app/OutputGuard.h"
#include "common/PreparedOutput.h"
#include "common/TrimwrightError.h"

namespace trimwright {

void WriteCommandJson(const std::string& path, const std::vector<std::string>& images,
                      const std::function<std::string()>& text) {
  if (path == "-") {
    const std::string json = text();
    std::cout << json << std::flush;
    return;
  }
  for (const std::string& image : images) {
    RefuseUnsafeOutputs({{path, "JSON file", "JSON"}}, {{}, image, ""});
  }
  PreparedOutput output;
  if (!output.Prepare(path)) {
    throw TrimwrightError("Unable to open JSON file " + path + " (" +
                          std::generic_category().message(errno) + "); nothing was written");
  }
  const std::string json = text();
  if (!output.Write(json) || !output.Finish()) {
    throw TrimwrightError("Unable to write JSON file " + path);
  }
}

}  // namespace trimwright
