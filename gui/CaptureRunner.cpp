#include "gui/CaptureRunner.h"

#include <exception>
#include <utility>

#include "capture/StopSignal.h"

namespace trimwright {

// On the capture's thread: keeps the last status and hands one on to the
// runner's thread each kStatusInterval of the capture's time.
class CaptureRunner::Observer : public CaptureObserver {
 public:
  Observer(CaptureRunner& runner, std::uint64_t generation)
      : runner_(runner), generation_(generation) {}

  void OnStatus(const CaptureStatus& status) override {
    last = status;
    if (posted_ && status.elapsed - lastPosted_ < kStatusInterval) return;
    posted_ = true;
    lastPosted_ = status.elapsed;
    runner_.PostStatus(generation_, status);
  }

  CaptureStatus last;

 private:
  CaptureRunner& runner_;
  std::uint64_t generation_;
  bool posted_ = false;
  std::chrono::milliseconds lastPosted_{0};
};

CaptureRunner::CaptureRunner(QObject* parent) : QObject(parent) {}

CaptureRunner::~CaptureRunner() {
  if (m_stop) m_stop->Request();
  if (m_thread.joinable()) m_thread.join();
}

void CaptureRunner::Start(const CaptureRequest& request) {
  m_stop = std::make_unique<StopSignal>();
  const std::uint64_t generation = ++m_generation;
  m_thread = std::thread([this, request, generation, stop = m_stop.get()] {
    Observer observer(*this, generation);
    CaptureOutcome outcome;
    outcome.request = request;
    try {
      const CaptureResult result = CaptureFromDevice(request, *stop, &observer);
      outcome.end = result.end;
      outcome.status = result.status;
    } catch (const std::exception& e) {
      outcome.failed = true;
      outcome.error = e.what();
      outcome.status = observer.last;
    }
    {
      const std::lock_guard<std::mutex> lock(m_mutex);
      m_outcome = std::move(outcome);
    }
    QMetaObject::invokeMethod(
        this, [this, generation] { Finish(generation); }, Qt::QueuedConnection);
  });
  // Running once the thread is there; its end is reported on this thread,
  // after this returns.
  m_running = true;
}

void CaptureRunner::PostStatus(std::uint64_t generation, const CaptureStatus& status) {
  // Queued: the slots run on the runner's thread, never on the capture's.
  QMetaObject::invokeMethod(
      this,
      [this, generation, status] {
        if (m_running && generation == m_generation) emit statusChanged(status);
      },
      Qt::QueuedConnection);
}

void CaptureRunner::Stop() {
  if (m_running) m_stop->Request();
}

void CaptureRunner::StopAndWait() {
  if (!m_running) return;
  m_stop->Request();
  Finish(m_generation);
}

void CaptureRunner::Finish(std::uint64_t generation) {
  if (!m_running || generation != m_generation) return;
  m_thread.join();
  m_running = false;
  m_stop.reset();
  CaptureOutcome outcome;
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    outcome = std::move(m_outcome);
  }
  emit finished(outcome);
}

}  // namespace trimwright
