// One capture into a new .csv log: stops the idle traffic, requests frames
// one after the other, writes each valid frame as a record, ends after N
// records, S seconds or a stop request and resumes the idle traffic. Owns the
// log while it runs; line, clock, stop and observer are the caller's.
#ifndef TRIMWRIGHT_CAPTURE_CAPTURESESSION_H_
#define TRIMWRIGHT_CAPTURE_CAPTURESESSION_H_

#include <chrono>
#include <cstdint>
#include <string>

#include "capture/ByteLine.h"
#include "capture/CaptureClock.h"
#include "capture/CaptureStatus.h"
#include "capture/CaptureTally.h"
#include "capture/FrameDecoder.h"

namespace trimwright {

class CaptureLog;
class StopSignal;

// When a capture ends by itself; zero means no limit.
struct CaptureLimits {
  std::uint64_t records = 0;
  std::chrono::milliseconds duration{0};
};

enum class CaptureEnd { kRecords, kDuration, kStopped };

struct CaptureResult {
  CaptureEnd end = CaptureEnd::kStopped;
  CaptureStatus status;
};

class CaptureSession {
 public:
  // A request not answered within this long is sent again.
  static constexpr std::chrono::milliseconds kAnswerTimeout{500};
  // A capture without a valid frame for this long ends as failed.
  static constexpr std::chrono::milliseconds kSilenceLimit{5000};
  // The next request follows a whole answer at once. After a request that
  // went unanswered, a frame that could not be used, or at the start, it
  // goes out only once the line has been quiet this long, so that it does
  // not fall into the engine computer's sending on the one shared wire. A
  // serial adapter hands bytes over in bursts up to about 16 ms apart.
  static constexpr std::chrono::milliseconds kQuietGap{50};

  // stop and observer may be null.
  CaptureSession(ByteLine& line, const CaptureClock& clock, const StopSignal* stop,
                 CaptureObserver* observer);

  // Captures into the new log logPath until a limit or a stop request; the
  // log is then synced and complete. Throws TrimwrightError (status
  // kFileOrMemory) when the log exists already or cannot be written, when
  // the line fails, or when no valid frame came for kSilenceLimit; the
  // message names `device`. The log is removed again when it holds no record
  // then, else synced with every record so far, and the message says so.
  CaptureResult Run(const std::string& logPath, const CaptureLimits& limits,
                    const std::string& device);

 private:
  CaptureEnd Loop(CaptureLog& log, const CaptureLimits& limits, const std::string& device);
  void SendRequest(bool repeat);
  void ResumeIdleTrafficIfPossible() noexcept;
  void Notify(std::chrono::milliseconds now);

  ByteLine& line_;
  const CaptureClock& clock_;
  const StopSignal* stop_;
  CaptureObserver* observer_;
  FrameDecoder decoder_;
  CaptureTally tally_;
  std::chrono::milliseconds start_{0};
  std::uint64_t repeats_ = 0;
  // Idle frames seen when the idle traffic was last asked to stop.
  std::uint64_t idleAtStop_ = 0;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CAPTURE_CAPTURESESSION_H_
