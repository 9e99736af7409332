#include "cli/CompareCommand.h"

#include <iostream>
#include <optional>

#include "app/ImageCompare.h"
#include "cli/CommandJson.h"
#include "cli/CompareText.h"
#include "cli/ExitReportingErrors.h"

namespace trimwright {

CompareCommand::CompareCommand()
    : Command({"--compare", "--json", "--ignore-checksum", "--quiet"}) {}

bool CompareCommand::Chosen(const CommandLine& line) const { return line.Given("--compare"); }

void CompareCommand::Check(const CommandLine& line) {
  if (!FirstRefused(line).empty() || !line.Positionals().empty()) {
    throw CLI::ValidationError("--compare takes two images, --json, --ignore-checksum and -q only");
  }
}

int CompareCommand::Run(const CommandLine& line) {
  const CommandLineValues& values = line.values();
  const std::string& a = values.compareImages[0];
  const std::string& b = values.compareImages[1];
  std::optional<ImageComparison> comparison;
  const auto compare = [&] {
    comparison = CompareImages(a, b, values.ignoreChecksum);
    for (const std::string& warning : comparison->warnings) std::cerr << warning << "\n";
    std::cerr << std::flush;
  };
  if (values.json.empty()) {
    compare();
  } else {
    WriteCommandJson(values.json, {CompareSource::Parse(a).path, CompareSource::Parse(b).path},
                     [&] {
                       compare();
                       return ComparisonJson(*comparison);
                     });
  }
  // Quiet: the status and the JSON say it all.
  if (values.json != "-" && !values.quiet) std::cout << CompareText(*comparison) << std::flush;
  return ExitCode(ExitStatus::kSuccess);
}

}  // namespace trimwright
