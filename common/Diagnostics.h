// Where the core's diagnostic lines go: the progress and warning lines a run
// writes while it reads, plans and writes, and the few failure lines of its
// readers. The standard instance writes to std::cout and std::cerr exactly as
// a run always has; a front end or a test hands its own instance down to
// redirect the lines or to collect the warnings. Every object that writes
// keeps a reference, so the instance must outlive the objects given it.
#ifndef TRIMWRIGHT_COMMON_DIAGNOSTICS_H_
#define TRIMWRIGHT_COMMON_DIAGNOSTICS_H_

#include <locale>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace trimwright {

class Diagnostics {
 public:
  // out and err must outlive this object.
  Diagnostics(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}
  virtual ~Diagnostics() = default;

  Diagnostics(const Diagnostics&) = delete;
  Diagnostics& operator=(const Diagnostics&) = delete;

  // The process's standard streams.
  static Diagnostics& Standard();

  // Progress and diagnostic lines (standard output by default).
  std::ostream& Out() const { return out_; }
  // Failure lines (standard error by default).
  std::ostream& Err() const { return err_; }

  // A warning about the pass (a doubtful target, a bank predicted too lean, a
  // VE value out of bounds): written to Out() followed by a line end. An
  // instance that collects warnings overrides this and calls it.
  virtual void Warning(const std::string& text);

  // Writes line to Err() and throws TrimwrightError with message, marked as
  // said on the error stream: how the core reports a failure whose line
  // belongs on standard error.
  [[noreturn]] void FailOnErrorStream(const std::string& line, const std::string& message) const;

 private:
  std::ostream& out_;
  std::ostream& err_;
};

// Passes every line on to another instance and keeps a copy of each
// warning, in order: how a run collects the warnings of its pass for the
// plan while the lines still go where they always go.
class WarningCollector : public Diagnostics {
 public:
  // inner must outlive this object.
  explicit WarningCollector(Diagnostics& inner)
      : Diagnostics(inner.Out(), inner.Err()), inner_(inner) {}

  void Warning(const std::string& text) override {
    inner_.Warning(text);
    warnings_.push_back(text);
  }
  const std::vector<std::string>& warnings() const { return warnings_; }

 private:
  Diagnostics& inner_;
  std::vector<std::string> warnings_;
};

// The parts written one after another to a stream in the "C" locale with its
// default formatting (six significant digits), as the diagnostic lines are.
template <typename... Parts>
std::string StreamedText(const Parts&... parts) {
  std::ostringstream text;
  text.imbue(std::locale::classic());
  (text << ... << parts);
  return text.str();
}

}  // namespace trimwright

#endif  // TRIMWRIGHT_COMMON_DIAGNOSTICS_H_
