#include "console/linux/terminal_guard.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qv {

namespace {

bool sameTerminal(int a, int b) {
  struct stat first {
  }, second{};
  if (fstat(a, &first) != 0 || fstat(b, &second) != 0) return false;
  return first.st_rdev == second.st_rdev;
}

int setSettings(int fd, const termios& settings) {
  int result;
  do {
    result = tcsetattr(fd, TCSANOW, &settings);
  } while (result != 0 && errno == EINTR);
  return result;
}

}  // namespace

termios TerminalGuard::rawSettings(const termios& original) {
  termios raw = original;
  raw.c_iflag &= ~tcflag_t(ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP | INPCK | PARMRK);
  raw.c_oflag &= ~tcflag_t(OPOST);
  raw.c_lflag &= ~tcflag_t(ECHO | ECHONL | ICANON | IEXTEN);
  raw.c_lflag |= ISIG;
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  return raw;
}

bool TerminalGuard::capture(int displayFd, int keyboardFd) {
  if (count_ > 0) return true;
  if (tcgetattr(displayFd, &saved_[0].settings) != 0) return false;
  saved_[0].fd = displayFd;
  count_ = 1;
  if (keyboardFd >= 0 && isatty(keyboardFd) && !sameTerminal(displayFd, keyboardFd) &&
      tcgetattr(keyboardFd, &saved_[1].settings) == 0) {
    saved_[1].fd = keyboardFd;
    count_ = 2;
  }
  return true;
}

bool TerminalGuard::enterRaw() {
  for (int i = 0; i < count_; ++i) {
    if (setSettings(saved_[i].fd, rawSettings(saved_[i].settings)) != 0) {
      for (int j = 0; j < i; ++j) setSettings(saved_[j].fd, saved_[j].settings);
      return false;
    }
  }
  raw_ = count_ > 0;
  return raw_;
}

void TerminalGuard::leaveRaw() {
  if (!raw_) return;
  for (int i = 0; i < count_; ++i) setSettings(saved_[i].fd, saved_[i].settings);
  raw_ = false;
}

}  // namespace qv
