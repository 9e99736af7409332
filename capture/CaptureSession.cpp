#include "capture/CaptureSession.h"

#include <algorithm>
#include <array>

#include "capture/CaptureLog.h"
#include "capture/StopSignal.h"
#include "capture/StreamCsv.h"
#include "common/TrimwrightError.h"

namespace trimwright {

using std::chrono::milliseconds;

CaptureSession::CaptureSession(ByteLine& line, const CaptureClock& clock, const StopSignal* stop,
                               CaptureObserver* observer)
    : line_(line), clock_(clock), stop_(stop), observer_(observer) {}

CaptureResult CaptureSession::Run(const std::string& logPath, const CaptureLimits& limits,
                                  const std::string& device) {
  CaptureLog log(logPath, StreamCsvHeader());
  start_ = clock_.Now();
  CaptureResult result;
  try {
    result.end = Loop(log, limits, device);
    line_.Send(stream::kResumeIdleTraffic);
  } catch (const TrimwrightError& e) {
    ResumeIdleTrafficIfPossible();
    if (log.records() == 0) {
      log.Discard();
      throw;
    }
    log.Finish();
    throw TrimwrightError(std::string(e.what()) + "; the " + std::to_string(log.records()) +
                              " records captured before are in " + logPath,
                          e.status());
  }
  log.Finish();
  result.status = tally_.StatusAt(start_, clock_.Now(), decoder_.counts(), repeats_);
  return result;
}

CaptureEnd CaptureSession::Loop(CaptureLog& log, const CaptureLimits& limits,
                                const std::string& device) {
  line_.Send(stream::kStopIdleTraffic);
  idleAtStop_ = 0;
  milliseconds lastFrame = start_;
  milliseconds lastByte = start_;
  milliseconds requestAt = start_;
  // The next request is due; it waits for a quiet line first unless it
  // follows a frame that answered the last one.
  bool requestDue = true;
  bool waitForQuiet = true;
  bool repeat = false;              // it repeats a request not answered
  bool repeatedSinceFrame = false;  // a second answer may be on its way
  std::uint64_t badAtRequest = 0;
  std::array<std::uint8_t, 256> buffer;
  for (;;) {
    if (stop_ && stop_->Requested()) return CaptureEnd::kStopped;
    milliseconds now = clock_.Now();
    if (limits.duration.count() > 0 && now - start_ >= limits.duration) {
      return CaptureEnd::kDuration;
    }
    if (now - lastFrame >= kSilenceLimit) {
      throw TrimwrightError("No valid frame came from the device " + device + " for " +
                            std::to_string(kSilenceLimit.count() / 1000) + " s");
    }
    if (requestDue && (!waitForQuiet || now - lastByte >= kQuietGap)) {
      if (repeat) {
        ++repeats_;
        repeatedSinceFrame = true;
      }
      SendRequest(repeat);
      requestAt = now;
      requestDue = false;
      badAtRequest = decoder_.counts().BadFrames();
    } else if (!requestDue && (now - requestAt >= kAnswerTimeout ||
                               decoder_.counts().BadFrames() > badAtRequest)) {
      // Not answered in time, or answered with a frame that cannot be used:
      // asked again once the line is quiet.
      requestDue = true;
      waitForQuiet = true;
      repeat = true;
      continue;
    }
    milliseconds deadline = std::min(requestDue ? lastByte + kQuietGap : requestAt + kAnswerTimeout,
                                     lastFrame + kSilenceLimit);
    if (limits.duration.count() > 0) deadline = std::min(deadline, start_ + limits.duration);
    const std::size_t got = line_.Receive(buffer, std::max(deadline - now, milliseconds{0}));
    if (got == 0) continue;
    now = clock_.Now();
    lastByte = now;
    decoder_.Push({buffer.data(), got});
    while (const std::optional<stream::DataBytes> data = decoder_.Next()) {
      const StreamValues values = StreamValues::FromData(*data);
      log.Append(StreamCsvLine(log.records(), values));
      tally_.AddRecord(values, now);
      lastFrame = now;
      requestDue = true;
      waitForQuiet = repeatedSinceFrame;
      repeatedSinceFrame = false;
      repeat = false;
      if (limits.records > 0 && log.records() >= limits.records) {
        Notify(now);
        return CaptureEnd::kRecords;
      }
    }
    Notify(now);
  }
}

void CaptureSession::SendRequest(bool repeat) {
  // A request went unanswered amid idle traffic: the engine computer missed
  // the request to stop it, which goes out again first.
  if (repeat && decoder_.counts().idleFrames > idleAtStop_) {
    line_.Send(stream::kStopIdleTraffic);
    idleAtStop_ = decoder_.counts().idleFrames;
  }
  line_.Send(stream::kRequestDataStream);
}

void CaptureSession::ResumeIdleTrafficIfPossible() noexcept {
  try {
    line_.Send(stream::kResumeIdleTraffic);
  } catch (const TrimwrightError&) {
    // The capture fails for its own reason, which is the one to report.
  }
}

void CaptureSession::Notify(milliseconds now) {
  if (observer_) observer_->OnStatus(tally_.StatusAt(start_, now, decoder_.counts(), repeats_));
}

}  // namespace trimwright
