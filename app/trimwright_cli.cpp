// trimwright-cli: one tuning run from the command line, for tuners who work in
// a terminal or script their passes. Standard output carries exactly the
// run's diagnostic lines; messages and errors go to standard error.
#include <CLI/CLI.hpp>

#include <iostream>
#include <locale>
#include <new>
#include <string>

#include "app/CommandLineWindow.h"
#include "app/PathRules.h"
#include "app/TuningRun.h"
#include "common/TrimwrightError.h"

namespace {

constexpr char kProgram[] = "trimwright-cli";

int Exit(trimwright::ExitStatus status) { return static_cast<int>(status); }

}  // namespace

int main(int argc, char** argv) {
  using trimwright::ExitStatus;
  std::cout.imbue(std::locale::classic());
  std::cerr.imbue(std::locale::classic());

  CLI::App app{
      "Tunes the VE tables of a calibration image (.bin or .lt1) from a logged drive\n"
      "(.uni, .csv or .txt), rewrites the image in place and writes a report.",
      kProgram};
  std::string targetBlm = "124";
  std::string rpmLimit = "3000";
  std::string report;
  std::string logPath;
  std::string imagePath;
  app.add_option("--target-blm", targetBlm, "BLM to tune toward; 128 means no correction")
      ->type_name("TEXT")
      ->capture_default_str();
  app.add_option("--rpm-limit", rpmLimit, "highest engine speed to tune, at most 7000")
      ->type_name("TEXT")
      ->capture_default_str();
  app.add_option("--report", report, "report file (default: IMAGE without extension + _trw.txt)")
      ->type_name("FILE");
  app.add_option("LOGFILE", logPath, "logged data: Datamaster .uni, Freescan .csv, PCMComm .txt")
      ->required();
  app.add_option("IMAGE", imagePath, "calibration image: Tunercat .bin or LT1Edit .lt1")
      ->required();
  app.set_version_flag("--version", std::string(kProgram) + " 1.33");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? Exit(ExitStatus::kSuccess) : Exit(ExitStatus::kUsage);
  }
  if (report.empty() && !app.count("--report")) report = trimwright::DeriveLogfileName(imagePath);

  trimwright::CommandLineWindow window(targetBlm, rpmLimit, std::cerr,
                                       std::string(kProgram) + ": ");
  std::int32_t storedTargetBlm = 0;
  std::int32_t storedRpmLimit = 0;
  try {
    trimwright::TuningRun run(window);
    const trimwright::RunOutcome outcome =
        run.Perform(logPath, imagePath, report, storedTargetBlm, storedRpmLimit);
    return outcome == trimwright::RunOutcome::kCompleted ? Exit(ExitStatus::kSuccess)
                                                         : Exit(ExitStatus::kEndedEarly);
  } catch (const trimwright::TrimwrightError& e) {
    std::cerr << kProgram << ": error: " << e.what() << std::endl;
    return Exit(e.status());
  } catch (const std::bad_alloc& e) {
    std::cerr << kProgram << ": error: out of memory (" << e.what() << ")" << std::endl;
    return Exit(ExitStatus::kFileOrMemory);
  }
}
