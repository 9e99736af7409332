// trimwright-cli: one tuning pass from the command line, for tuners who work
// in a terminal or script their passes. Standard output carries exactly the
// run's diagnostic lines; messages and errors go to standard error.
#include <CLI/CLI.hpp>

#include <fstream>
#include <iostream>
#include <locale>
#include <new>
#include <string>
#include <vector>

#include "app/PathRules.h"
#include "app/PlanGrid.h"
#include "app/PlanJson.h"
#include "app/TuningRun.h"
#include "cli/CommandLineWindow.h"
#include "common/TrimwrightError.h"
#include "common/Version.h"

namespace {

constexpr char kProgram[] = "trimwright-cli";

// The usage line names the two positional kinds in order; several logs may
// come before the image.
class UsageFormatter : public CLI::Formatter {
 public:
  std::string make_usage(const CLI::App* app, std::string name) const override {
    std::string usage = CLI::Formatter::make_usage(app, name);
    const std::size_t end = usage.find('\n');
    return "Usage: " + name + " [OPTIONS] LOGFILE IMAGE\n       " + name +
           " [OPTIONS] LOGFILE... IMAGE" + (end == std::string::npos ? "\n" : usage.substr(end));
  }
};

int Exit(trimwright::ExitStatus status) { return static_cast<int>(status); }

// Writes text to path, or to standard output for "-".
void WriteOutput(const std::string& path, const std::string& text) {
  if (path == "-") {
    std::cout << text << std::flush;
    return;
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) throw trimwright::TrimwrightError("Unable to write " + path);
}

}  // namespace

int main(int argc, char** argv) {
  using trimwright::ExitStatus;
  std::cout.imbue(std::locale::classic());
  std::cerr.imbue(std::locale::classic());

  CLI::App app{
      "Tunes the VE tables of a calibration image (.bin or .lt1) from logged drives\n"
      "(.uni, .csv or .txt), rewrites the image in place and writes a report.",
      kProgram};
  trimwright::RunRequest request;
  request.targetBlmText = "124";
  request.rpmLimitText = "3000";
  std::string report;
  std::string json;
  bool grid = false;
  std::vector<std::string> logPaths;
  std::string imagePath;
  app.add_option("--target-blm", request.targetBlmText,
                 "BLM to tune toward; 128 means no correction")
      ->type_name("TEXT")
      ->capture_default_str();
  app.add_option("--rpm-limit", request.rpmLimitText, "highest engine speed to tune, at most 7000")
      ->type_name("TEXT")
      ->capture_default_str();
  app.add_option("--report", report, "report file (default: IMAGE without extension + _trw.txt)")
      ->type_name("FILE");
  app.add_flag("--dry-run", request.dryRun,
               "compute and print everything, but never write the image (nor a report unless "
               "--report names one)");
  app.add_option("--json", json, "write the pass's plan as JSON to FILE (- for standard output)")
      ->type_name("FILE");
  app.add_flag("--grid", grid, "print the VE changes and the fuel trim table to standard error");
  // The logs take every positional argument but the last, the image.
  app.add_option("LOGFILE", logPaths,
                 "logged data, one or more: Datamaster .uni, Freescan .csv, PCMComm .txt");
  app.add_option("IMAGE", imagePath, "calibration image: Tunercat .bin or LT1Edit .lt1");
  app.formatter(std::make_shared<UsageFormatter>());
  app.set_version_flag("--version", std::string(kProgram) + " " + trimwright::kVersion);
  try {
    app.parse(argc, argv);
    if (logPaths.empty()) throw CLI::RequiredError("LOGFILE");
    if (logPaths.size() < 2 && !app.count("IMAGE")) throw CLI::RequiredError("IMAGE");
    if (!app.count("IMAGE")) {
      imagePath = logPaths.back();
      logPaths.pop_back();
    }
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? Exit(ExitStatus::kSuccess) : Exit(ExitStatus::kUsage);
  }
  request.logPaths = logPaths;
  request.pcmPath = imagePath;
  if (app.count("--report")) {
    request.logfileName = report;
  } else if (!request.dryRun) {
    request.logfileName = trimwright::DeriveLogfileName(imagePath);
  }

  // With the JSON on standard output, the diagnostic lines move to standard
  // error so that standard output is JSON alone.
  trimwright::Diagnostics toStandardError(std::cerr, std::cerr);
  trimwright::Diagnostics& diagnostics =
      json == "-" ? toStandardError : trimwright::Diagnostics::Standard();
  trimwright::CommandLineWindow window(std::cerr, std::string(kProgram) + ": ");
  try {
    trimwright::TuningRun run(window, diagnostics);
    const trimwright::RunResult result = run.Perform(request);
    if (result.outcome != trimwright::RunOutcome::kCompleted) return Exit(ExitStatus::kEndedEarly);
    if (request.dryRun) {
      window.ShowMessage("Dry run complete; the image was not changed");
    }
    if (grid) std::cerr << trimwright::PlanGrid(*result.plan) << std::flush;
    if (!json.empty()) WriteOutput(json, trimwright::PlanJson(*result.plan, request.dryRun));
    return Exit(ExitStatus::kSuccess);
  } catch (const trimwright::TrimwrightError& e) {
    std::cerr << kProgram << ": error: " << e.what() << std::endl;
    return Exit(e.status());
  } catch (const std::bad_alloc& e) {
    std::cerr << kProgram << ": error: out of memory (" << e.what() << ")" << std::endl;
    return Exit(ExitStatus::kFileOrMemory);
  }
}
