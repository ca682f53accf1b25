#include "sim/pty_line.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace korvane::sim {

namespace {

[[noreturn]] void systemError(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

// While nobody has the terminal open, or when it just went away, the master reports a hang-up
// or EIO at once; waiting a little before asking again keeps the idle simulator off the CPU.
constexpr int kRetryPauseMs = 50;

}  // namespace

PtyLine::PtyLine() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) systemError("posix_openpt");
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
    const int saved = errno;
    ::close(master_);
    errno = saved;
    systemError("grantpt/unlockpt");
  }
  const char* name = ptsname(master_);
  if (name == nullptr) systemError("ptsname");
  deviceName_ = name;

  slave_ = ::open(deviceName_.c_str(), O_RDWR | O_NOCTTY);
  if (slave_ < 0) {
    const int saved = errno;
    ::close(master_);
    errno = saved;
    systemError("open " + deviceName_);
  }
  // Raw mode on the slave side: no echo, no line editing, no CR/LF translation; the protocol's
  // bytes go through untouched. The speed is only for show: a pty does not pace its bytes.
  termios tio{};
  if (tcgetattr(slave_, &tio) == 0) {
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tcsetattr(slave_, TCSANOW, &tio);
  }
  tcflush(slave_, TCIOFLUSH);
}

PtyLine::~PtyLine() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

std::vector<std::uint8_t> PtyLine::read(int timeoutMs, int alsoWakeOn) {
  pollfd fds[2] = {{master_, POLLIN, 0}, {alsoWakeOn, POLLIN, 0}};
  const int ready = ::poll(fds, alsoWakeOn >= 0 ? 2 : 1, timeoutMs);
  if (ready <= 0) return {};  // time-out, or a signal (EINTR)
  const pollfd& pfd = fds[0];
  if (pfd.revents == 0) return {};  // only the other descriptor
  if ((pfd.revents & POLLIN) == 0) {
    usleep(kRetryPauseMs * 1000);
    return {};
  }
  std::uint8_t buffer[256];
  const ssize_t n = ::read(master_, buffer, sizeof buffer);
  if (n <= 0) {
    if (n < 0 && errno != EINTR && errno != EAGAIN) usleep(kRetryPauseMs * 1000);
    return {};
  }
  return {buffer, buffer + n};
}

bool PtyLine::write(const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace korvane::sim
