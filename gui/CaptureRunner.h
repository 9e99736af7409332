// Runs one capture at a time from a device into a new log on a thread of its
// own, so that the window stays responsive, and reports it on the thread
// the runner lives on (the window's): the status at most four times a
// second, then the end. Owns the capture's thread and stop signal; a
// capture still running when the runner goes away is stopped and waited
// for, its log complete.
#ifndef TRIMWRIGHT_GUI_CAPTURERUNNER_H_
#define TRIMWRIGHT_GUI_CAPTURERUNNER_H_

#include <QObject>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "capture/DeviceCapture.h"

namespace trimwright {

class StopSignal;

// How a capture ended: by a limit or a stop (failed false), or with the
// core's error, the status then being the last one the capture reached.
struct CaptureOutcome {
  CaptureRequest request;
  bool failed = false;
  std::string error;
  CaptureEnd end = CaptureEnd::kStopped;
  CaptureStatus status;
};

class CaptureRunner : public QObject {
  Q_OBJECT

 public:
  // The status reaches the window at most this often.
  static constexpr std::chrono::milliseconds kStatusInterval{250};

  explicit CaptureRunner(QObject* parent = nullptr);
  ~CaptureRunner() override;
  CaptureRunner(const CaptureRunner&) = delete;
  CaptureRunner& operator=(const CaptureRunner&) = delete;

  // Starts capturing as request says. REQUIRES: !running(). Throws
  // TrimwrightError when the stop signal cannot be made, std::system_error
  // when the thread cannot; every other failure comes as finished().
  void Start(const CaptureRequest& request);
  // Asks the capture to end; finished() follows once its log is complete.
  void Stop();
  // Asks the capture to end and waits for it; finished() is emitted before
  // this returns. Nothing happens when no capture runs.
  void StopAndWait();
  bool running() const { return m_running; }

 signals:
  void statusChanged(const trimwright::CaptureStatus& status);
  void finished(const trimwright::CaptureOutcome& outcome);

 private:
  class Observer;

  // On the runner's thread: the capture's thread is done, or about to be.
  void Finish(std::uint64_t generation);
  void PostStatus(std::uint64_t generation, const CaptureStatus& status);

  std::unique_ptr<StopSignal> m_stop;
  std::thread m_thread;
  bool m_running = false;
  // Counts the captures started, so that a report of an earlier one that
  // arrives late is dropped.
  std::uint64_t m_generation = 0;
  std::mutex m_mutex;        // guards m_outcome
  CaptureOutcome m_outcome;  // set by the capture's thread as it ends
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_GUI_CAPTURERUNNER_H_
