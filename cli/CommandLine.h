// trimwright-cli's command line: every option the commands share, declared
// once in the order --help lists them, the values parsed into them, and what
// a command asks of them (was an option given, the files named, the first
// option given that a command does not accept). Owns the parser; lives for
// the length of the program.
#ifndef TRIMWRIGHT_CLI_COMMANDLINE_H_
#define TRIMWRIGHT_CLI_COMMANDLINE_H_

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include "app/RunRequest.h"
#include "calibration/CellRange.h"
#include "common/TrimwrightError.h"

namespace trimwright {

class Command;

constexpr char kProgram[] = "trimwright-cli";

// What the shared options hold once parsed: texts as typed, flags, and the
// cells of --lock and --unlock read from their texts.
struct CommandLineValues {
  std::string targetBlmText = RunRequest::kDefaultTargetBlm;
  std::string rpmLimitText = RunRequest::kDefaultRpmLimit;
  std::string report;
  bool dryRun = false;
  std::string json;
  std::string minRecordsText;
  std::string maxChangeText;
  std::string auxWindowText;
  bool addSecondTrim = false;
  bool smooth = false;
  std::string maxTotalChangeText;
  std::string baselineFile;
  std::vector<std::string> lockTexts;
  std::vector<std::string> unlockTexts;
  std::vector<GridCell> lockCells;
  std::vector<GridCell> unlockCells;
  std::string locksImage;
  bool noHistory = false;
  int keepHistory = RunRequest().keepHistory;
  std::string historyImage;
  std::string undoImage;
  std::vector<std::string> compareImages;
  bool quiet = false;
  bool force = false;
  bool grid = false;
  bool ignoreChecksum = false;
  std::vector<std::string> checkImages;
  // The positionals: every file but the last lands in logPaths; imagePath
  // holds one only when the parser gave it one (see Positionals).
  std::vector<std::string> logPaths;
  std::string imagePath;
};

class CommandLine {
 public:
  // Declares the shared options, then the options each of commands declares
  // for itself (Command::Declare), then the positionals. commands must
  // outlive this object.
  explicit CommandLine(const std::vector<std::unique_ptr<Command>>& commands);

  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  // Parses the arguments and reads what every command refuses alike: the
  // ranges of --lock and --unlock, a cell both name, --baseline without
  // --max-total-change. Throws CLI::ParseError (help and version too).
  void Parse(int argc, char** argv);

  const CLI::App& app() const { return app_; }
  const CommandLineValues& values() const { return values_; }

  // True when the option (by a name it was declared with, "--undo",
  // "LOGFILE") was given.
  bool Given(const std::string& name) const;

  // The files named without an option, in order: the logs, then the image
  // when the parser set it apart.
  std::vector<std::string> Positionals() const;

  // The first option given that accepted (names as declared, "--quiet" for
  // -q) does not hold, the positionals aside; empty when there is none.
  // When several are given, the one named is the one the program has always
  // named first, so that a usage error reads as it always did.
  std::string FirstRefused(const std::vector<std::string>& accepted) const;

 private:
  CLI::App app_;
  CommandLineValues values_;
};

// Reads an option's text with parse, a usage error naming option when the
// text is not a value it takes.
template <typename Parse>
auto ReadOptionText(const char* option, const std::string& text, Parse parse) {
  try {
    return parse(text);
  } catch (const TrimwrightError& e) {
    throw CLI::ValidationError(option, e.what());
  }
}

}  // namespace trimwright

#endif  // TRIMWRIGHT_CLI_COMMANDLINE_H_
