// The line to the engine computer as a capture uses it: bytes out, bytes in
// with a time limit. The serial device implements it, and so do the tests'
// and the fuzzer's stand-ins, which feed bytes without a device.
#ifndef TRIMWRIGHT_CAPTURE_BYTELINE_H_
#define TRIMWRIGHT_CAPTURE_BYTELINE_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

namespace trimwright {

class ByteLine {
 public:
  virtual ~ByteLine() = default;

  // Sends every byte. Throws TrimwrightError when the line fails.
  virtual void Send(std::span<const std::uint8_t> bytes) = 0;

  // Waits at most `timeout` for bytes and returns those that came, up to
  // buffer.size() (none when the time ran out or a stop was asked for).
  // Throws TrimwrightError when the line fails or hangs up.
  virtual std::size_t Receive(std::span<std::uint8_t> buffer,
                              std::chrono::milliseconds timeout) = 0;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CAPTURE_BYTELINE_H_
