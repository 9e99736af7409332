// One mode of trimwright-cli (a pass, --check, --compare, --history, --undo,
// --locks, the locks changed alone): the options it accepts, declared beside
// it, when it is chosen, its own usage checks and its body. main keeps one
// object of each, in the order they are chosen, for the length of the
// program; a command keeps what its checks read for its body.
#ifndef TRIMWRIGHT_CLI_COMMAND_H_
#define TRIMWRIGHT_CLI_COMMAND_H_

#include <CLI/CLI.hpp>

#include <string>
#include <utility>
#include <vector>

#include "cli/CommandLine.h"

namespace trimwright {

class Command {
 public:
  virtual ~Command() = default;

  Command(const Command&) = delete;
  Command& operator=(const Command&) = delete;

  // Declares the options only this command takes, bound to its own members;
  // --help lists them after the shared ones. Called once, before parsing.
  virtual void Declare(CLI::App&) {}

  // True when the command line asks for this command; main runs the first
  // command chosen.
  virtual bool Chosen(const CommandLine& line) const = 0;

  // Refuses, as a usage error (CLI::ValidationError or CLI::RequiredError),
  // an option it does not accept and files it cannot take, and reads the
  // texts of its options; no file is touched yet.
  virtual void Check(const CommandLine& line) = 0;

  // Does the work once Check passed; returns the exit status. Throws
  // TrimwrightError for a failure that ends it.
  virtual int Run(const CommandLine& line) = 0;

 protected:
  // accepted: every option (its names as declared, not the positionals)
  // that this command takes; any other one given is refused in Check.
  explicit Command(std::vector<std::string> accepted) : accepted_(std::move(accepted)) {}

  // The first option given that this command does not take; empty if none.
  std::string FirstRefused(const CommandLine& line) const { return line.FirstRefused(accepted_); }

 private:
  std::vector<std::string> accepted_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CLI_COMMAND_H_
