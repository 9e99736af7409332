// The line to a simulated engine computer in simulated time, for tests: the
// echo and answers come back when 8192 baud would have carried them, in
// pieces; waiting moves the clock instead of sleeping. The simulator and the
// clock are the caller's and must outlive the line.
#ifndef TRIMWRIGHT_TOOLS_SIMULATEDLINE_H_
#define TRIMWRIGHT_TOOLS_SIMULATEDLINE_H_

#include <chrono>
#include <deque>
#include <vector>

#include "capture/ByteLine.h"
#include "capture/CaptureClock.h"
#include "tools/EcuSimulator.h"

namespace trimwright::tools {

class SimulatedLine : public ByteLine {
 public:
  struct Timing {
    // Ten bits a byte at 8192 baud.
    std::chrono::microseconds byteTime{1221};
    // The engine computer's pause between a request and its answer.
    std::chrono::milliseconds answerDelay{2};
    // Between two frames of idle traffic.
    std::chrono::milliseconds idleInterval{100};
    // The most bytes handed over at once.
    std::size_t pieceBytes = 16;
  };

  // Receive throws std::logic_error when the capture asks to wait no time
  // this often in a row at one moment, which in simulated time never ends.
  static constexpr int kMostIdleSpins = 1000;

  SimulatedLine(EcuSimulator& ecu, ManualCaptureClock& clock, const Timing& timing);
  SimulatedLine(EcuSimulator& ecu, ManualCaptureClock& clock)
      : SimulatedLine(ecu, clock, Timing{}) {}

  void Send(std::span<const std::uint8_t> bytes) override;
  std::size_t Receive(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override;

 private:
  using Micros = std::chrono::microseconds;
  struct Piece {
    Micros at;  // when its last byte has come
    std::vector<std::uint8_t> bytes;
  };

  // Puts bytes on the wire from `from` on (or when it is free), in pieces.
  void Transmit(const std::vector<std::uint8_t>& bytes, Micros from);
  void Insert(Piece piece);
  void AddIdleTrafficUntil(Micros horizon);
  Micros Now() const { return clock_.Now(); }

  EcuSimulator& ecu_;
  ManualCaptureClock& clock_;
  Timing timing_;
  std::deque<Piece> queue_;  // in time order
  Micros wireFreeAt_{0};
  Micros nextIdle_{0};
  Micros lastReceive_{-1};
  int idleSpins_ = 0;
};

}  // namespace trimwright::tools

#endif  // TRIMWRIGHT_TOOLS_SIMULATEDLINE_H_
