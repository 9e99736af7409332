// The serial device a capture reads (a USB cable's port, any terminal, a
// pseudo-terminal), raw at 8192 baud 8N1, the rate set through the kernel's
// termios2, which takes any rate. Owns the descriptor and a lock on it; puts
// the device's settings back and closes it when it goes away.
#ifndef TRIMWRIGHT_CAPTURE_SERIALLINE_H_
#define TRIMWRIGHT_CAPTURE_SERIALLINE_H_

#include <memory>
#include <string>

#include "capture/ByteLine.h"

namespace trimwright {

class StopSignal;

class SerialLine : public ByteLine {
 public:
  static constexpr int kBaud = 8192;

  // Opens device. Throws TrimwrightError (status kFileOrMemory) naming it
  // when it is missing, cannot be opened, is not a terminal device, is in
  // use by another capture or refuses the settings. `stop`, when given,
  // must outlive the line: a request on it ends a wait in Receive.
  explicit SerialLine(const std::string& device, const StopSignal* stop = nullptr);
  ~SerialLine() override;
  SerialLine(const SerialLine&) = delete;
  SerialLine& operator=(const SerialLine&) = delete;

  void Send(std::span<const std::uint8_t> bytes) override;
  std::size_t Receive(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override;

  // The rate the device reports after the settings were made.
  int ReportedBaud() const;

 private:
  // Closes the device and throws TrimwrightError with what.
  [[noreturn]] void Fail(const std::string& what);
  // Throws the words of a device gone from the far end; error 0 is none.
  [[noreturn]] void HungUp(int error) const;

  struct SavedSettings;
  std::string device_;
  const StopSignal* stop_;
  int fd_ = -1;
  std::unique_ptr<SavedSettings> saved_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CAPTURE_SERIALLINE_H_
