// The kernel's termios2 comes from <asm/termbits.h>, whose struct termios
// clashes with the C library's <termios.h>: this file includes only the
// former, and no other file of the capture needs either.
#include "capture/SerialLine.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "capture/StopSignal.h"
#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

// How long a write may wait for room in the device's buffer.
constexpr int kSendTimeoutMs = 2000;

std::string Reason(int error) { return std::strerror(error); }

}  // namespace

struct SerialLine::SavedSettings {
  struct termios2 settings;
};

SerialLine::SerialLine(const std::string& device, const StopSignal* stop)
    : device_(device), stop_(stop) {
  // Only a character device can be a terminal; anything else is refused
  // before it is opened, so that opening has no effect on it.
  struct stat status;
  if (::stat(device.c_str(), &status) != 0)
    Fail("Unable to open the device " + device_ + " (" + Reason(errno) + ")");
  if (!S_ISCHR(status.st_mode)) Fail("The device " + device_ + " is not a terminal device");
  fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) Fail("Unable to open the device " + device_ + " (" + Reason(errno) + ")");
  if (!::isatty(fd_)) Fail("The device " + device_ + " is not a terminal device");
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    Fail("The device " + device_ + " is in use by another capture");
  }

  struct termios2 settings;
  if (::ioctl(fd_, TCGETS2, &settings) != 0) {
    Fail("Unable to read the settings of the device " + device_ + " (" + Reason(errno) + ")");
  }
  saved_ = std::make_unique<SavedSettings>(SavedSettings{settings});
  // Raw: no line editing, no echo, no signals, no translation of bytes.
  settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                             ICRNL | IXON | IXOFF | IXANY | INPCK);
  settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  // 8N1 at a rate of its own for both directions; no modem lines.
  settings.c_cflag &=
      ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
  settings.c_cflag |= CS8 | CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
  settings.c_ispeed = kBaud;
  settings.c_ospeed = kBaud;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  if (::ioctl(fd_, TCSETS2, &settings) != 0) {
    Fail("Unable to set the device " + device_ + " to 8192 baud (" + Reason(errno) + ")");
  }
  // Bytes from before the capture belong to no request of it.
  ::ioctl(fd_, TCFLSH, TCIOFLUSH);
}

SerialLine::~SerialLine() {
  if (fd_ < 0) return;
  if (saved_) ::ioctl(fd_, TCSETS2, &saved_->settings);
  ::close(fd_);
}

void SerialLine::Fail(const std::string& what) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  throw TrimwrightError(what);
}

int SerialLine::ReportedBaud() const {
  struct termios2 settings;
  if (::ioctl(fd_, TCGETS2, &settings) != 0) return -1;
  return static_cast<int>(settings.c_ospeed);
}

void SerialLine::Send(std::span<const std::uint8_t> bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t put = ::write(fd_, bytes.data() + sent, bytes.size() - sent);
    if (put > 0) {
      sent += static_cast<std::size_t>(put);
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    // A device unplugged or closed at its far end fails the write as it
    // fails the read: said the same way whichever of the two meets it first.
    if (put < 0 && (errno == EIO || errno == ENXIO || errno == ENODEV)) HungUp(errno);
    if (put < 0 && errno != EAGAIN) {
      throw TrimwrightError("Unable to write to the device " + device_ + " (" + Reason(errno) +
                            ")");
    }
    pollfd room{fd_, POLLOUT, 0};
    const int ready = ::poll(&room, 1, kSendTimeoutMs);
    if (ready > 0 && (room.revents & POLLHUP) != 0) HungUp(0);
    if (ready == 0 || (ready > 0 && (room.revents & POLLERR) != 0)) {
      throw TrimwrightError("Unable to write to the device " + device_ + " (it takes no bytes)");
    }
  }
}

std::size_t SerialLine::Receive(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) {
  pollfd waits[2] = {{fd_, POLLIN, 0}, {stop_ ? stop_->WakeDescriptor() : -1, POLLIN, 0}};
  const int ready = ::poll(waits, 2, static_cast<int>(std::max<std::int64_t>(timeout.count(), 0)));
  if (ready < 0 && errno == EINTR) return 0;
  if (ready < 0)
    throw TrimwrightError("Unable to wait for the device " + device_ + " (" + Reason(errno) + ")");
  if (ready == 0 || (waits[0].revents & (POLLIN | POLLERR | POLLHUP)) == 0) return 0;
  const ssize_t got = ::read(fd_, buffer.data(), buffer.size());
  if (got > 0) return static_cast<std::size_t>(got);
  if (got < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
  // A hung-up device reads as an error or an end, and stays ready to say so.
  HungUp(got < 0 ? errno : 0);
}

void SerialLine::HungUp(int error) const {
  throw TrimwrightError("The device " + device_ + " hung up" +
                        (error != 0 ? " (" + Reason(error) + ")" : std::string()));
}

}  // namespace trimwright
