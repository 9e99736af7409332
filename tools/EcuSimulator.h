// A simulated engine computer without a device: host bytes in, what the line
// carries back out (every byte's echo, the answers), idle traffic stopped and
// resumed on request, a frame of the simulated drive per data request, line
// faults on request. Owns its drive; the record sink is the caller's.
#ifndef TRIMWRIGHT_TOOLS_ECUSIMULATOR_H_
#define TRIMWRIGHT_TOOLS_ECUSIMULATOR_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "capture/StreamFrame.h"
#include "tools/DriveSimulator.h"

namespace trimwright::tools {

// Faults on the line by data-stream request, counted from 1: a fault with
// `every` N hits requests N, 2N, 3N, ...; 0 turns it off.
struct EcuFaults {
  int badChecksum = 0;  // the answer's checksum is wrong
  int cut = 0;          // the answer stops after kCutBytes bytes
  int garbage = 0;      // garbage bytes (frame-like ones too) come before the answer
  int silence = 0;      // no answer; silenceLength requests in a row from there
  int silenceLength = 1;
  int noEcho = 0;  // the request does not come back as an echo
  int idle = 0;    // an idle-traffic frame comes before the answer, though stopped
  int stall = 0;   // the answer comes after kStallPause, the ones after it in turn
  // The first missedStops requests to stop the idle traffic go unheard.
  int missedStops = 0;
  // Answers the first silentAfter requests only; -1: all.
  std::int64_t silentAfter = -1;

  // Sets one fault from "KIND:N", KIND one of checksum, cut, garbage,
  // silence, echo, idle, stall, and stop (missedStops). Throws
  // std::invalid_argument.
  void Set(std::string_view text);
};

// The drive is DriveSimulator's over the image, one sample per frame sent
// whole; after the drive, the next seed's follows. Each frame sent whole goes
// to the record sink as the .csv line a capture writes for it, so that a
// capture can be compared record for record.
class EcuSimulator {
 public:
  static constexpr std::size_t kCutBytes = 23;
  // Longer than a capture waits for an answer.
  static constexpr std::chrono::milliseconds kStallPause{600};

  // What the line carries back for the host's bytes.
  struct Reply {
    std::vector<std::uint8_t> echo;
    // After the engine computer's short pause, or after kStallPause.
    std::vector<std::uint8_t> answer;
    bool stalled = false;
  };

  EcuSimulator(const CalibrationImage& image, std::uint32_t seed, int driveRecords,
               const EcuFaults& faults = {});

  // The record sink is told the .csv line of each frame sent whole.
  void SetRecordSink(std::function<void(const std::string& line)> sink) { sink_ = std::move(sink); }

  Reply Receive(std::span<const std::uint8_t> hostBytes);

  // True until told to stop the idle traffic, and again once told to resume.
  bool IdleTrafficOn() const { return idleOn_; }
  // One frame of idle traffic.
  static std::vector<std::uint8_t> IdleFrame();

  std::uint64_t requests() const { return requests_; }
  std::uint64_t framesSent() const { return sampleIndex_; }
  // Stop and resume requests received, in order ('S' stop, 'R' resume).
  const std::string& idleRequests() const { return idleRequests_; }

  // The data bytes of sample `index` of a drive.
  static stream::DataBytes DataFor(const LogSample& sample, std::uint64_t index);

 private:
  void Answer(Reply& reply);
  const LogSample& NextSample();

  CalibrationImage image_;
  int driveRecords_;
  EcuFaults faults_;
  std::function<void(const std::string&)> sink_;
  std::vector<LogSample> drive_;
  std::size_t inDrive_ = 0;
  std::uint32_t driveSeed_;
  std::uint64_t sampleIndex_ = 0;
  std::uint64_t requests_ = 0;
  bool idleOn_ = true;
  std::string idleRequests_;
  std::vector<std::uint8_t> pending_;  // host bytes not yet a whole frame
};

}  // namespace trimwright::tools

#endif  // TRIMWRIGHT_TOOLS_ECUSIMULATOR_H_
