#include "cli/CommandLine.h"

#include <algorithm>
#include <iterator>

#include "cli/Command.h"
#include "common/Version.h"

namespace trimwright {

namespace {

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

// When several options a command refuses are given, the first of them in
// this order is the one its usage error names, as the program always named
// them; an option not listed comes after these, in the order declared. The
// order decides only which option is named, never whether one is refused.
constexpr const char* kNamingOrder[] = {"--target-blm",
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

std::size_t NamingRank(const std::string& name) {
  const auto found = std::find(std::begin(kNamingOrder), std::end(kNamingOrder), name);
  return static_cast<std::size_t>(found - std::begin(kNamingOrder));
}

}  // namespace

CommandLine::CommandLine(const std::vector<std::unique_ptr<Command>>& commands)
    : app_(
          "Tunes the VE tables of a calibration image (.bin or .lt1) from logged drives\n"
          "(.uni, .csv or .txt), rewrites the image in place and writes a report.",
          kProgram) {
  CommandLineValues& v = values_;
  app_.add_option("--target-blm", v.targetBlmText, "BLM to tune toward; 128 means no correction")
      ->type_name("TEXT")
      ->capture_default_str();
  app_.add_option("--rpm-limit", v.rpmLimitText, "highest engine speed to tune, at most 7000")
      ->type_name("TEXT")
      ->capture_default_str();
  app_.add_option("--report", v.report, "report file (default: IMAGE without extension + _trw.txt)")
      ->type_name("FILE");
  app_.add_flag("--dry-run", v.dryRun,
                "compute and print everything, but never write the image (nor a report unless "
                "--report names one)");
  app_.add_option("--json", v.json,
                  "write the pass's plan as JSON to FILE (- for standard output); with --history, "
                  "the progress of the passes; with --compare, the comparison")
      ->type_name("FILE");
  app_.add_option("--min-records", v.minRecordsText,
                  "fuel trim cells (the idle cell too) with fewer than N records do not move "
                  "the VE table (default: no minimum)")
      ->type_name("N");
  app_.add_option("--max-change", v.maxChangeText,
                  "no VE cell moves more than PCT percent in this pass (default: no cap)")
      ->type_name("PCT");
  app_.add_option("--aux-window", v.auxWindowText,
                  "leave out records whose second trim values (aux left or right) lie outside "
                  "LO to HI (default: keep all)")
      ->type_name("LO-HI");
  app_.add_flag("--add-second-trim", v.addSecondTrim,
                "count each record's trims as BLM + second trim - 128 (the whole correction at "
                "that moment)");
  app_.add_flag("--smooth", v.smooth,
                "interpolate each VE cell's factor between the centres of the fuel trim cells "
                "instead of blending the cells it overlaps");
  app_.add_option("--max-total-change", v.maxTotalChangeText,
                  "no VE cell ends more than PCT percent from its byte in the baseline, over all "
                  "passes (default: no limit)")
      ->type_name("PCT");
  app_.add_option("--baseline", v.baselineFile,
                  "with --max-total-change: the image the limit counts from (default: the oldest "
                  "image in IMAGE's history, or IMAGE itself when it has none)")
      ->type_name("FILE");
  app_.add_option("--lock", v.lockTexts,
                  "lock the VE cells whose row and column labels lie in the ranges, such as "
                  "1200-1600:50-60 (repeatable): no pass changes them until unlocked. With IMAGE "
                  "alone: store the locks and exit; with logs: the pass uses them and stores them "
                  "when it completes (a dry run stores nothing)")
      ->type_name("RPM_LO-RPM_HI:KPA_LO-KPA_HI")
      ->allow_extra_args(false);
  app_.add_option("--unlock", v.unlockTexts,
                  "unlock the VE cells in the ranges (repeatable), as --lock stores")
      ->type_name("RPM_LO-RPM_HI:KPA_LO-KPA_HI")
      ->allow_extra_args(false);
  app_.add_option("--locks", v.locksImage, "list the VE cells locked on IMAGE, and exit")
      ->type_name("IMAGE")
      ->expected(0, 1);
  app_.add_flag("--no-history", v.noHistory,
                "do not save the image in its history folder (IMAGE.history/) before the pass");
  app_.add_option("--keep-history", v.keepHistory,
                  "keep the newest N entries of the history; older ones go after a pass")
      ->type_name("N")
      ->check(CLI::Range(1, 1000000))
      ->capture_default_str();
  // The image of --history and --undo may follow the option or stand
  // anywhere among the other arguments ("--undo --force car.bin").
  app_.add_option("--history", v.historyImage,
                  "list the passes recorded for IMAGE, newest first, and exit")
      ->type_name("IMAGE")
      ->expected(0, 1);
  app_.add_option("--undo", v.undoImage,
                  "put back IMAGE as it was before its newest pass not yet undone, and exit")
      ->type_name("IMAGE")
      ->expected(0, 1);
  app_.add_option("--compare", v.compareImages,
                  "compare two images A and B (.bin or .lt1 in any mix, or IMAGE@N for the image "
                  "before entry N of its history): print the VE difference in percent, the cells "
                  "and other bytes that differ; changes nothing, and exits")
      ->type_name("A B")
      ->expected(2);
  app_.add_flag("-q,--quiet", v.quiet,
                "leave the diagnostic lines out of standard output (messages still go to "
                "standard error); with --check and --compare, print nothing but the JSON asked "
                "for and errors: the exit status tells");
  app_.add_flag("--force", v.force,
                "with --undo: undo even when IMAGE was changed since that pass, or past a damaged "
                "entry of its history");
  app_.add_flag("--grid", v.grid,
                "print the VE changes, the fuel trim table and what became of every record read "
                "to standard error");
  app_.add_flag("--ignore-checksum", v.ignoreChecksum,
                "tune an image that is not a sound calibration (its size or a checksum is "
                "wrong) as it is, instead of refusing it");
  app_.add_option("--check", v.checkImages,
                  "check that each IMAGE is a sound calibration (size, both checksums) and "
                  "print what it holds; changes nothing, and exits")
      ->type_name("IMAGE...")
      ->expected(1, -1);
  for (const std::unique_ptr<Command>& command : commands) command->Declare(app_);
  // The logs take every positional argument but the last, the image.
  app_.add_option("LOGFILE", v.logPaths,
                  "logged data, one or more: Datamaster .uni, Freescan .csv, PCMComm .txt");
  app_.add_option("IMAGE", v.imagePath, "calibration image: Tunercat .bin or LT1Edit .lt1");
  app_.formatter(std::make_shared<UsageFormatter>());
  app_.set_version_flag("--version", std::string(kProgram) + " " + kVersion);
}

void CommandLine::Parse(int argc, char** argv) {
  app_.parse(argc, argv);
  for (const std::string& text : values_.lockTexts) {
    for (const GridCell& cell : ReadOptionText("--lock", text, CellRange::Parse).Cells()) {
      values_.lockCells.push_back(cell);
    }
  }
  for (const std::string& text : values_.unlockTexts) {
    for (const GridCell& cell : ReadOptionText("--unlock", text, CellRange::Parse).Cells()) {
      values_.unlockCells.push_back(cell);
    }
  }
  for (const GridCell& cell : values_.lockCells) {
    if (std::find(values_.unlockCells.begin(), values_.unlockCells.end(), cell) !=
        values_.unlockCells.end()) {
      throw CLI::ValidationError("--lock and --unlock both name the VE cell " +
                                 std::to_string(cell.rpm) + " rpm, " + std::to_string(cell.kpa) +
                                 " kPa");
    }
  }
  if (Given("--baseline") && !Given("--max-total-change")) {
    throw CLI::ValidationError("--baseline goes with --max-total-change only");
  }
}

bool CommandLine::Given(const std::string& name) const { return app_.count(name) > 0; }

std::vector<std::string> CommandLine::Positionals() const {
  std::vector<std::string> files = values_.logPaths;
  if (Given("IMAGE")) files.push_back(values_.imagePath);
  return files;
}

std::string CommandLine::FirstRefused(const std::vector<std::string>& accepted) const {
  std::vector<const CLI::Option*> given = app_.get_options(
      [](const CLI::Option* option) { return option->nonpositional() && option->count() > 0; });
  std::stable_sort(given.begin(), given.end(), [](const CLI::Option* a, const CLI::Option* b) {
    return NamingRank(a->get_name()) < NamingRank(b->get_name());
  });
  for (const CLI::Option* option : given) {
    if (std::find(accepted.begin(), accepted.end(), option->get_name()) == accepted.end()) {
      return option->get_name();
    }
  }
  return "";
}

}  // namespace trimwright
