#include "console/linux/output.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <ctime>
#include <string>

#include "console/linux/signals.h"

namespace qv {

namespace {

// The same terminal through a file description of its own: its non-blocking flag is nobody
// else's business. -1 when the terminal cannot be reopened (no /proc, exclusive mode).
int reopenNonBlocking(int fd) {
  // (to_chars rather than printf: the printf machinery would be the largest code the program
  // pulls in from the C library.)
  char path[40] = "/proc/self/fd/";
  const std::size_t prefix = std::char_traits<char>::length(path);
  *std::to_chars(path + prefix, path + sizeof path - 1, fd).ptr = '\0';
  const int own = ::open(path, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (own < 0) return -1;
  struct stat mine {
  }, given{};
  if (fstat(own, &mine) != 0 || fstat(fd, &given) != 0 || !S_ISCHR(mine.st_mode) ||
      mine.st_rdev != given.st_rdev) {
    ::close(own);
    return -1;
  }
  return own;
}

// Milliseconds on a clock that only goes forward; async-signal-safe.
long long nowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000LL + now.tv_nsec / 1'000'000;
}

int remainingMs(long long deadline) {
  if (deadline < 0) return -1;
  const long long left = deadline - nowMs();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

bool isHangUpError(int error) {
  return error == EIO || error == ENXIO || error == EPIPE;
}

void TtyOutput::open(int fd) {
  close();
  fd_ = reopenNonBlocking(fd);
  own_ = fd_ >= 0;
  if (!own_) fd_ = fd;
}

void TtyOutput::close() {
  if (own_) ::close(fd_);
  *this = TtyOutput();
}

TtyOutput::Outcome TtyOutput::write(std::string_view& bytes) {
  return send(bytes, true, -1);
}

TtyOutput::Outcome TtyOutput::writeWithin(std::string_view& bytes, int milliseconds) {
  return send(bytes, false, milliseconds);
}

TtyOutput::Outcome TtyOutput::send(std::string_view& bytes, bool giveWay, int milliseconds) {
  if (gone_) return Outcome::gone;
  const long long deadline = milliseconds < 0 ? -1 : nowMs() + milliseconds;
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n > 0) bytes.remove_prefix(static_cast<std::size_t>(n));
    if (bytes.empty()) break;
    const int error = n < 0 ? errno : 0;
    if (n == 0 || (n < 0 && error != EAGAIN && error != EINTR)) {
      // A hang-up, or an error that the next write would give again: nothing can be shown
      // any more, and trying again would only spin.
      gone_ = true;
      return Outcome::gone;
    }
    // A partial write or an interrupted one on a blocking descriptor is how a signal gets
    // through there; on ours the wait below wakes up for it.
    if (giveWay && signalPipe::urgent()) return Outcome::gaveWay;
    if (n != 0 && error == 0) continue;
    if (error == EINTR) continue;
    const int timeout = remainingMs(deadline);
    if (timeout == 0) return Outcome::timedOut;
    pollfd watched[2] = {{fd_, POLLOUT, 0},
                         {giveWay ? signalPipe::wakeDescriptor() : -1, POLLIN, 0}};
    if (poll(watched, 2, timeout) > 0 && watched[1].revents != 0) signalPipe::drain();
  }
  return Outcome::written;
}

void TtyOutput::writeFromSignalHandler(const char* bytes, std::size_t count,
                                       int milliseconds) const {
  if (fd_ < 0 || gone_) return;
  const long long deadline = nowMs() + milliseconds;
  while (count > 0) {
    const ssize_t n = ::write(fd_, bytes, count);
    if (n > 0) {
      bytes += n;
      count -= static_cast<std::size_t>(n);
      continue;
    }
    if (n == 0 || (errno != EAGAIN && errno != EINTR)) return;
    const int timeout = remainingMs(deadline);
    if (timeout == 0) return;
    pollfd writable{fd_, POLLOUT, 0};
    poll(&writable, 1, timeout);
  }
}

}  // namespace qv
