#include "capture/StopSignal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "common/TrimwrightError.h"

namespace trimwright {

StopSignal::StopSignal() {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw TrimwrightError(std::string("Unable to make the capture's stop pipe (") +
                          std::strerror(errno) + ")");
  }
}

StopSignal::~StopSignal() {
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

void StopSignal::Request() noexcept {
  const int saved = errno;
  requested_.store(true);
  const char wake = 1;
  // A full pipe already wakes the reader; nothing else can go wrong here.
  [[maybe_unused]] const ssize_t written = ::write(pipe_[1], &wake, 1);
  errno = saved;
}

}  // namespace trimwright
