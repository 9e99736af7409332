// A request to end a capture, safe to make from a signal handler: a flag and a
// pipe whose read end wakes a line waiting for bytes. The front end makes the
// request (on SIGINT or SIGTERM, or the window's Stop); the capture sees it
// within one wait. Owns the pipe; not copyable.
#ifndef TRIMWRIGHT_CAPTURE_STOPSIGNAL_H_
#define TRIMWRIGHT_CAPTURE_STOPSIGNAL_H_

#include <atomic>

namespace trimwright {

class StopSignal {
 public:
  // Throws TrimwrightError when the pipe cannot be made.
  StopSignal();
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  // Asks the capture to stop. Async-signal-safe; may be called any number of
  // times, from any thread.
  void Request() noexcept;
  bool Requested() const noexcept { return requested_.load(); }

  // Becomes readable once Request() was called: a line waits on it beside
  // its device.
  int WakeDescriptor() const { return pipe_[0]; }

 private:
  static_assert(std::atomic<bool>::is_always_lock_free);
  std::atomic<bool> requested_{false};
  int pipe_[2] = {-1, -1};
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CAPTURE_STOPSIGNAL_H_
