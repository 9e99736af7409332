#include "tools/SimulatedLine.h"

#include <algorithm>
#include <stdexcept>

namespace trimwright::tools {

using std::chrono::milliseconds;

SimulatedLine::SimulatedLine(EcuSimulator& ecu, ManualCaptureClock& clock, const Timing& timing)
    : ecu_(ecu), clock_(clock), timing_(timing), nextIdle_(timing.idleInterval) {}

void SimulatedLine::Transmit(const std::vector<std::uint8_t>& bytes, Micros from) {
  Micros at = std::max(from, wireFreeAt_);
  const std::size_t piece = std::max<std::size_t>(timing_.pieceBytes, 1);
  for (std::size_t k = 0; k < bytes.size(); k += piece) {
    const std::size_t n = std::min(piece, bytes.size() - k);
    at += timing_.byteTime * static_cast<Micros::rep>(n);
    const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(k);
    Insert(Piece{at, std::vector<std::uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(n))});
  }
  wireFreeAt_ = at;
}

void SimulatedLine::Insert(Piece piece) {
  const auto place = std::upper_bound(queue_.begin(), queue_.end(), piece.at,
                                      [](Micros t, const Piece& p) { return t < p.at; });
  queue_.insert(place, std::move(piece));
}

void SimulatedLine::Send(std::span<const std::uint8_t> bytes) {
  const EcuSimulator::Reply reply = ecu_.Receive(bytes);
  // The host's own bytes take their time on the wire; the echo is them.
  const Micros sent = Now() + timing_.byteTime * static_cast<Micros::rep>(bytes.size());
  if (!reply.echo.empty()) Insert(Piece{sent, reply.echo});
  if (!reply.answer.empty()) {
    Transmit(reply.answer,
             sent + (reply.stalled ? EcuSimulator::kStallPause : timing_.answerDelay));
  }
}

void SimulatedLine::AddIdleTrafficUntil(Micros horizon) {
  if (!ecu_.IdleTrafficOn()) {
    nextIdle_ = Now() + timing_.idleInterval;
    return;
  }
  for (; nextIdle_ <= horizon; nextIdle_ += timing_.idleInterval) {
    Transmit(EcuSimulator::IdleFrame(), nextIdle_);
  }
}

std::size_t SimulatedLine::Receive(std::span<std::uint8_t> buffer, milliseconds timeout) {
  // A capture that keeps waiting no time at one moment would spin for ever
  // in simulated time (in real time, until the clock moves): a fault.
  idleSpins_ = timeout.count() > 0 || Now() != lastReceive_ ? 0 : idleSpins_ + 1;
  lastReceive_ = Now();
  if (idleSpins_ > kMostIdleSpins) {
    throw std::logic_error("the capture waits no time again and again at one moment");
  }
  const Micros horizon = Now() + timeout;
  AddIdleTrafficUntil(horizon);
  if (queue_.empty() || queue_.front().at > horizon) {
    clock_.Advance(timeout);
    return 0;
  }
  const auto until = std::chrono::ceil<milliseconds>(queue_.front().at);
  if (until > clock_.Now()) clock_.Advance(until - clock_.Now());
  std::size_t got = 0;
  while (!queue_.empty() && queue_.front().at <= Now() && got < buffer.size()) {
    Piece& piece = queue_.front();
    const std::size_t n = std::min(piece.bytes.size(), buffer.size() - got);
    std::copy_n(piece.bytes.begin(), n, buffer.begin() + static_cast<std::ptrdiff_t>(got));
    got += n;
    piece.bytes.erase(piece.bytes.begin(), piece.bytes.begin() + static_cast<std::ptrdiff_t>(n));
    if (piece.bytes.empty()) queue_.pop_front();
  }
  return got;
}

}  // namespace trimwright::tools
