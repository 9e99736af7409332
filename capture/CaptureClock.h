// The time a capture keeps its rules by (a request repeated after 500 ms, the
// end after 5 s without a frame, the --seconds limit). The steady clock of the
// machine in a real capture; tests pass a clock that their stand-in line
// moves, so that those rules run without waiting for real.
#ifndef TRIMWRIGHT_CAPTURE_CAPTURECLOCK_H_
#define TRIMWRIGHT_CAPTURE_CAPTURECLOCK_H_

#include <chrono>

namespace trimwright {

class CaptureClock {
 public:
  virtual ~CaptureClock() = default;
  // Time since some fixed moment; never goes back.
  virtual std::chrono::milliseconds Now() const = 0;
};

// The machine's steady clock.
class SteadyCaptureClock : public CaptureClock {
 public:
  std::chrono::milliseconds Now() const override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
  }
};

// A clock that moves only when told: the tests' and the simulated line's.
class ManualCaptureClock : public CaptureClock {
 public:
  std::chrono::milliseconds Now() const override { return now_; }
  void Advance(std::chrono::milliseconds by) { now_ += by; }

 private:
  std::chrono::milliseconds now_{0};
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CAPTURE_CAPTURECLOCK_H_
