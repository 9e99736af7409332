// trimwright-cli: one tuning pass from the command line, for tuners who work
// in a terminal or script their passes. Standard output carries exactly the
// run's diagnostic lines; messages and errors go to standard error.
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <locale>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/CellLocks.h"
#include "app/HistoryCommands.h"
#include "app/ImageCompare.h"
#include "app/OutputGuard.h"
#include "app/PassProgress.h"
#include "app/PathRules.h"
#include "app/PlanJson.h"
#include "app/TuningRun.h"
#include "cli/CaptureCommand.h"
#include "cli/CommandLineWindow.h"
#include "cli/CompareText.h"
#include "cli/PlanGrid.h"
#include "common/PreparedOutput.h"
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
           " [OPTIONS] LOGFILE... IMAGE\n       " + name +
           " --capture DEVICE [--records N] [--seconds S] LOG.csv" +
           (end == std::string::npos ? "\n" : usage.substr(end));
  }
};

// Reads a limit's text with parse, a usage error naming option when it is not
// one.
template <typename Parse>
auto ReadLimit(const char* option, const std::string& text, Parse parse) {
  try {
    return parse(text);
  } catch (const trimwright::TrimwrightError& e) {
    throw CLI::ValidationError(option, e.what());
  }
}

int Exit(trimwright::ExitStatus status) { return static_cast<int>(status); }

// The options of a pass, which a command on an image alone (--history, --undo,
// --locks, changing the locks) refuses unless it takes them itself.
constexpr const char* kPassOptions[] = {"--target-blm",
                                        "--rpm-limit",
                                        "--report",
                                        "--dry-run",
                                        "--json",
                                        "--min-records",
                                        "--max-change",
                                        "--aux-window",
                                        "--add-second-trim",
                                        "--smooth",
                                        "--no-history",
                                        "--grid",
                                        "--keep-history",
                                        "--force",
                                        "--ignore-checksum",
                                        "--max-total-change",
                                        "--baseline",
                                        "--lock",
                                        "--unlock"};

// The JSON of a command that reads images (--history, --compare): to
// standard output for "-", else to a file the guard lets it write (never one
// of the images or a file of their history), prepared before anything is
// read and written only once all of it succeeded. text makes the JSON and
// may throw; nothing is written then.
template <typename Text>
void WriteCommandJson(const std::string& path, const std::vector<std::string>& images, Text text) {
  if (path == "-") {
    const std::string json = text();
    std::cout << json << std::flush;
    return;
  }
  for (const std::string& image : images) {
    trimwright::RefuseUnsafeOutputs({{path, "JSON file", "JSON"}}, {}, image);
  }
  trimwright::PreparedOutput output;
  if (!output.Prepare(path)) {
    throw trimwright::TrimwrightError("Unable to open JSON file " + path + " (" +
                                      std::generic_category().message(errno) +
                                      "); nothing was written");
  }
  const std::string json = text();
  if (!output.Write(json) || !output.Finish()) {
    throw trimwright::TrimwrightError("Unable to write JSON file " + path);
  }
}

// Runs work and turns a failure into its line on standard error and its
// exit status: the one place the program decides how an error ends it.
template <typename Work>
int ExitReportingErrors(Work work) {
  try {
    return work();
  } catch (const trimwright::ImageRefusedError& e) {
    std::cerr << kProgram << ": error: " << e.what() << "\n"
              << kProgram << ": to tune the image as it is anyway, add --ignore-checksum"
              << std::endl;
    return Exit(e.status());
  } catch (const trimwright::TrimwrightError& e) {
    if (!e.saidOnErrorStream()) std::cerr << kProgram << ": error: " << e.what() << std::endl;
    return Exit(e.status());
  } catch (const std::bad_alloc& e) {
    std::cerr << kProgram << ": error: out of memory (" << e.what() << ")" << std::endl;
    return Exit(trimwright::ExitStatus::kFileOrMemory);
  }
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
  request.targetBlmText = trimwright::RunRequest::kDefaultTargetBlm;
  request.rpmLimitText = trimwright::RunRequest::kDefaultRpmLimit;
  std::string report;
  std::string json;
  bool grid = false;
  std::vector<std::string> logPaths;
  std::string imagePath;
  std::string minRecordsText;
  std::string maxChangeText;
  std::string auxWindowText;
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
  app.add_option("--json", json,
                 "write the pass's plan as JSON to FILE (- for standard output); with --history, "
                 "the progress of the passes; with --compare, the comparison")
      ->type_name("FILE");
  app.add_option("--min-records", minRecordsText,
                 "fuel trim cells (the idle cell too) with fewer than N records do not move "
                 "the VE table (default: no minimum)")
      ->type_name("N");
  app.add_option("--max-change", maxChangeText,
                 "no VE cell moves more than PCT percent in this pass (default: no cap)")
      ->type_name("PCT");
  app.add_option("--aux-window", auxWindowText,
                 "leave out records whose second trim values (aux left or right) lie outside "
                 "LO to HI (default: keep all)")
      ->type_name("LO-HI");
  app.add_flag("--add-second-trim", request.limits.addSecondTrim,
               "count each record's trims as BLM + second trim - 128 (the whole correction at "
               "that moment)");
  app.add_flag("--smooth", request.limits.smooth,
               "interpolate each VE cell's factor between the centres of the fuel trim cells "
               "instead of blending the cells it overlaps");
  std::string maxTotalChangeText;
  app.add_option("--max-total-change", maxTotalChangeText,
                 "no VE cell ends more than PCT percent from its byte in the baseline, over all "
                 "passes (default: no limit)")
      ->type_name("PCT");
  app.add_option("--baseline", request.limits.baselineFile,
                 "with --max-total-change: the image the limit counts from (default: the oldest "
                 "image in IMAGE's history, or IMAGE itself when it has none)")
      ->type_name("FILE");
  std::vector<std::string> lockTexts;
  std::vector<std::string> unlockTexts;
  app.add_option("--lock", lockTexts,
                 "lock the VE cells whose row and column labels lie in the ranges, such as "
                 "1200-1600:50-60 (repeatable): no pass changes them until unlocked. With IMAGE "
                 "alone: store the locks and exit; with logs: the pass uses them and stores them "
                 "when it completes (a dry run stores nothing)")
      ->type_name("RPM_LO-RPM_HI:KPA_LO-KPA_HI")
      ->allow_extra_args(false);
  app.add_option("--unlock", unlockTexts,
                 "unlock the VE cells in the ranges (repeatable), as --lock stores")
      ->type_name("RPM_LO-RPM_HI:KPA_LO-KPA_HI")
      ->allow_extra_args(false);
  std::string locksImage;
  app.add_option("--locks", locksImage, "list the VE cells locked on IMAGE, and exit")
      ->type_name("IMAGE")
      ->expected(0, 1);
  std::string historyImage;
  std::string undoImage;
  bool force = false;
  bool noHistory = false;
  app.add_flag("--no-history", noHistory,
               "do not save the image in its history folder (IMAGE.history/) before the pass");
  app.add_option("--keep-history", request.keepHistory,
                 "keep the newest N entries of the history; older ones go after a pass")
      ->type_name("N")
      ->check(CLI::Range(1, 1000000))
      ->capture_default_str();
  // The image of --history and --undo may follow the option or stand
  // anywhere among the other arguments ("--undo --force car.bin").
  app.add_option("--history", historyImage,
                 "list the passes recorded for IMAGE, newest first, and exit")
      ->type_name("IMAGE")
      ->expected(0, 1);
  app.add_option("--undo", undoImage,
                 "put back IMAGE as it was before its newest pass not yet undone, and exit")
      ->type_name("IMAGE")
      ->expected(0, 1);
  std::vector<std::string> compareImages;
  app.add_option("--compare", compareImages,
                 "compare two images A and B (.bin or .lt1 in any mix, or IMAGE@N for the image "
                 "before entry N of its history): print the VE difference in percent, the cells "
                 "and other bytes that differ; changes nothing, and exits")
      ->type_name("A B")
      ->expected(2);
  bool quiet = false;
  app.add_flag("-q,--quiet", quiet,
               "leave the diagnostic lines out of standard output (messages still go to "
               "standard error)");
  app.add_flag("--force", force,
               "with --undo: undo even when IMAGE was changed since that pass, or past a damaged "
               "entry of its history");
  app.add_flag("--grid", grid,
               "print the VE changes, the fuel trim table and what became of every record read "
               "to standard error");
  app.add_flag("--ignore-checksum", request.ignoreChecksum,
               "tune an image that is not a sound calibration (its size or a checksum is "
               "wrong) as it is, instead of refusing it");
  std::vector<std::string> checkImages;
  app.add_option("--check", checkImages,
                 "check that each IMAGE is a sound calibration (size, both checksums) and "
                 "print what it holds; changes nothing, and exits")
      ->type_name("IMAGE...")
      ->expected(1, -1);
  trimwright::CaptureArguments capture;
  trimwright::AddCaptureOptions(app, capture);
  // The logs take every positional argument but the last, the image.
  app.add_option("LOGFILE", logPaths,
                 "logged data, one or more: Datamaster .uni, Freescan .csv, PCMComm .txt");
  app.add_option("IMAGE", imagePath, "calibration image: Tunercat .bin or LT1Edit .lt1");
  app.formatter(std::make_shared<UsageFormatter>());
  app.set_version_flag("--version", std::string(kProgram) + " " + trimwright::kVersion);
  try {
    app.parse(argc, argv);
    const bool undo = app.count("--undo") > 0;
    const bool listLocks = app.count("--locks") > 0;
    const bool changeLocks = app.count("--lock") + app.count("--unlock") > 0;
    for (const std::string& text : lockTexts) {
      for (const trimwright::GridCell& cell :
           ReadLimit("--lock", text, trimwright::CellRange::Parse).Cells()) {
        request.lockCells.push_back(cell);
      }
    }
    for (const std::string& text : unlockTexts) {
      for (const trimwright::GridCell& cell :
           ReadLimit("--unlock", text, trimwright::CellRange::Parse).Cells()) {
        request.unlockCells.push_back(cell);
      }
    }
    for (const trimwright::GridCell& cell : request.lockCells) {
      if (std::find(request.unlockCells.begin(), request.unlockCells.end(), cell) !=
          request.unlockCells.end()) {
        throw CLI::ValidationError("--lock and --unlock both name the VE cell " +
                                   std::to_string(cell.rpm) + " rpm, " + std::to_string(cell.kpa) +
                                   " kPa");
      }
    }
    if (app.count("--baseline") && !app.count("--max-total-change")) {
      throw CLI::ValidationError("--baseline goes with --max-total-change only");
    }
    if (trimwright::TakeCaptureArguments(app, capture)) {
      // A capture, its arguments checked; it runs below.
    } else if (!compareImages.empty()) {
      for (const CLI::Option* option : app.get_options()) {
        const std::string name = option->get_name();
        if (option->count() > 0 && name != "--compare" && name != "--json") {
          throw CLI::ValidationError("--compare takes two images and --json only");
        }
      }
    } else if (!checkImages.empty()) {
      for (const CLI::Option* option : app.get_options()) {
        if (option->count() > 0 && option->get_name() != "--check") {
          throw CLI::ValidationError("--check takes images only, no other option or LOGFILE");
        }
      }
    } else if (undo || app.count("--history") || listLocks) {
      if (undo + (app.count("--history") > 0) + listLocks > 1) {
        throw CLI::ValidationError("--history, --undo and --locks exclude each other");
      }
      const std::string command = undo ? "--undo" : listLocks ? "--locks" : "--history";
      std::string& commandImage = undo ? undoImage : listLocks ? locksImage : historyImage;
      if (app.count("IMAGE")) logPaths.push_back(imagePath);
      if (commandImage.empty() && logPaths.size() == 1) {
        commandImage = logPaths.front();
        logPaths.clear();
      }
      if (!logPaths.empty() || commandImage.empty()) {
        throw CLI::ValidationError(command + " takes one IMAGE and no LOGFILE");
      }
      // Options of a pass mean nothing here; taking them silently would let
      // "--undo car.bin --dry-run" really undo.
      for (const char* option : kPassOptions) {
        const std::string name = option;
        const bool applies = undo ? name == "--keep-history" || name == "--force"
                                  : command == "--history" && name == "--json";
        if (app.count(option) && !applies) {
          throw CLI::ValidationError(option + (" does not go with " + command));
        }
      }
    } else if (changeLocks && logPaths.size() + app.count("IMAGE") == 1) {
      // The locks alone: changed on the image, no pass.
      if (!app.count("IMAGE")) imagePath = logPaths.front();
      logPaths.clear();
      for (const char* option : kPassOptions) {
        const std::string name = option;
        if (app.count(name) && name != "--lock" && name != "--unlock") {
          throw CLI::ValidationError(name +
                                     " does not go with --lock or --unlock without a LOGFILE");
        }
      }
    } else {
      if (force) throw CLI::ValidationError("--force goes with --undo only");
      if (changeLocks && logPaths.empty()) {
        throw CLI::ValidationError("--lock and --unlock need the IMAGE whose cells they lock");
      }
      if (logPaths.empty()) throw CLI::RequiredError("LOGFILE");
      if (logPaths.size() < 2 && !app.count("IMAGE")) throw CLI::RequiredError("IMAGE");
      if (!app.count("IMAGE")) {
        imagePath = logPaths.back();
        logPaths.pop_back();
      }
    }
    if (app.count("--min-records")) {
      request.limits.minRecords =
          ReadLimit("--min-records", minRecordsText, trimwright::ParseMinRecords);
    }
    if (app.count("--max-change")) {
      request.limits.maxChangePercent =
          ReadLimit("--max-change", maxChangeText, trimwright::ParseMaxChangePercent);
    }
    if (app.count("--aux-window")) {
      request.limits.auxWindow =
          ReadLimit("--aux-window", auxWindowText, trimwright::ParseAuxWindow);
    }
    if (app.count("--max-total-change")) {
      request.limits.maxTotalChangePercent =
          ReadLimit("--max-total-change", maxTotalChangeText, trimwright::ParseMaxChangePercent);
    }
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? Exit(ExitStatus::kSuccess) : Exit(ExitStatus::kUsage);
  }
  if (app.count("--capture")) {
    return ExitReportingErrors(
        [&] { return trimwright::RunCaptureCommand(capture, std::cerr, isatty(STDERR_FILENO)); });
  }
  if (!compareImages.empty()) {
    return ExitReportingErrors([&] {
      const std::string& a = compareImages[0];
      const std::string& b = compareImages[1];
      std::optional<trimwright::ImageComparison> comparison;
      if (json.empty()) {
        comparison = trimwright::CompareImages(a, b);
      } else {
        WriteCommandJson(
            json,
            {trimwright::CompareSource::Parse(a).path, trimwright::CompareSource::Parse(b).path},
            [&] {
              comparison = trimwright::CompareImages(a, b);
              return trimwright::ComparisonJson(*comparison);
            });
      }
      if (json != "-") std::cout << trimwright::CompareText(*comparison) << std::flush;
      return Exit(ExitStatus::kSuccess);
    });
  }
  if (!checkImages.empty()) {
    int status = Exit(ExitStatus::kSuccess);
    for (std::size_t k = 0; k < checkImages.size(); ++k) {
      if (k > 0) std::cout << "\n";
      const int imageStatus = ExitReportingErrors([&] {
        const trimwright::ImageCheck check = trimwright::CheckImageFile(checkImages[k]);
        std::cout << check.Describe(checkImages[k]) << std::flush;
        return Exit(check.Sound() ? ExitStatus::kSuccess : ExitStatus::kFileOrMemory);
      });
      if (imageStatus != Exit(ExitStatus::kSuccess)) status = imageStatus;
    }
    return status;
  }
  if (!locksImage.empty()) {
    return ExitReportingErrors([&] {
      std::cout << trimwright::CellLocks::Listing(locksImage,
                                                  trimwright::CellLocks::ReadLocked(locksImage))
                << std::flush;
      return Exit(ExitStatus::kSuccess);
    });
  }
  if (logPaths.empty() && (!request.lockCells.empty() || !request.unlockCells.empty())) {
    trimwright::CommandLineWindow window(std::cerr, std::string(kProgram) + ": ");
    return ExitReportingErrors([&] {
      bool stored = false;
      const std::vector<trimwright::GridCell> locks =
          trimwright::CellLocks::Change(imagePath, request.lockCells, request.unlockCells, &stored);
      std::cout << trimwright::CellLocks::Listing(imagePath, locks) << std::flush;
      window.ShowMessage(stored ? "Stored the locks of " + imagePath + " in " +
                                      trimwright::CellLocks::PathFor(imagePath)
                                : "The locks of " + imagePath +
                                      " were already so; nothing was "
                                      "written");
      return Exit(ExitStatus::kSuccess);
    });
  }
  if (!historyImage.empty() || !undoImage.empty()) {
    trimwright::CommandLineWindow window(std::cerr, std::string(kProgram) + ": ");
    return ExitReportingErrors([&] {
      if (!historyImage.empty()) {
        if (!json.empty()) {
          WriteCommandJson(json, {historyImage}, [&] {
            return trimwright::ProgressJson(historyImage, trimwright::ReadProgress(historyImage));
          });
        }
        if (json != "-") std::cout << trimwright::HistoryListing(historyImage) << std::flush;
        return Exit(ExitStatus::kSuccess);
      }
      const trimwright::UndoResult undone =
          trimwright::UndoLastPass(undoImage, force, request.keepHistory);
      window.ShowMessage(undone.message);
      return Exit(undone.outcome == trimwright::RunOutcome::kCompleted ? ExitStatus::kSuccess
                                                                       : ExitStatus::kEndedEarly);
    });
  }
  request.history = !noHistory;
  if (json != "-") request.jsonPath = json;
  request.logPaths = logPaths;
  request.pcmPath = imagePath;
  if (app.count("--report")) {
    request.logfileName = report;
  } else if (!request.dryRun) {
    request.logfileName = trimwright::DeriveLogfileName(imagePath);
  }

  // With the JSON on standard output, the diagnostic lines move to standard
  // error so that standard output is JSON alone; quiet drops them.
  std::ostringstream dropped;
  trimwright::Diagnostics toStandardError(std::cerr, std::cerr);
  trimwright::Diagnostics withoutLines(dropped, std::cerr);
  trimwright::Diagnostics& diagnostics = quiet         ? withoutLines
                                         : json == "-" ? toStandardError
                                                       : trimwright::Diagnostics::Standard();
  trimwright::CommandLineWindow window(std::cerr, std::string(kProgram) + ": ");
  return ExitReportingErrors([&] {
    trimwright::TuningRun run(window, diagnostics);
    const trimwright::RunResult result = run.Perform(request);
    if (result.outcome != trimwright::RunOutcome::kCompleted) return Exit(ExitStatus::kEndedEarly);
    if (request.dryRun) {
      window.ShowMessage("Dry run complete; the image was not changed");
    }
    if (grid) std::cerr << trimwright::PlanGrid(*result.plan) << std::flush;
    if (json == "-") std::cout << trimwright::PlanJson(*result.plan, request.dryRun) << std::flush;
    return Exit(ExitStatus::kSuccess);
  });
}
