#include "console/linux/modes.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qv {

namespace {

// From the background with SIGTTOU blocked the kernel makes the change instead of stopping
// the process; TCSANOW never waits for output to drain.
int setSettings(int fd, const termios& settings) {
  SigttouBlocked blocked;
  int result;
  do {
    result = tcsetattr(fd, TCSANOW, &settings);
  } while (result != 0 && errno == EINTR);
  return result;
}

}  // namespace

bool sameTerminal(int a, int b) {
  struct stat first {
  }, second{};
  if (fstat(a, &first) != 0 || fstat(b, &second) != 0) return false;
  return first.st_rdev == second.st_rdev;
}

SigttouBlocked::SigttouBlocked() {
  sigset_t ttou;
  sigemptyset(&ttou);
  sigaddset(&ttou, SIGTTOU);
  sigprocmask(SIG_BLOCK, &ttou, &previous_);
}

SigttouBlocked::~SigttouBlocked() {
  sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

termios TtyModes::rawSettings(const termios& original) {
  termios raw = original;
  raw.c_iflag &=
      ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP | INPCK | PARMRK);
  raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | IEXTEN);
  raw.c_lflag |= ISIG | NOFLSH;
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  return raw;
}

bool TtyModes::capture(int screenFd, int keyboardFd) {
  if (count_ > 0) return true;
  if (tcgetattr(screenFd, &saved_[0].settings) != 0) return false;
  saved_[0].fd = screenFd;
  count_ = 1;
  if (keyboardFd >= 0 && isatty(keyboardFd) && !sameTerminal(screenFd, keyboardFd) &&
      tcgetattr(keyboardFd, &saved_[1].settings) == 0) {
    saved_[1].fd = keyboardFd;
    count_ = 2;
  }
  return true;
}

bool TtyModes::inForeground() const {
  if (count_ == 0) return false;
  const pid_t group = tcgetpgrp(saved_[0].fd);
  return group < 0 || group == getpgrp();
}

bool TtyModes::enterRaw() {
  if (count_ == 0) return false;
  raw_ = 1;
  for (int i = 0; i < count_; ++i) {
    if (setSettings(saved_[i].fd, rawSettings(saved_[i].settings)) != 0) {
      for (int j = 0; j < i; ++j) setSettings(saved_[j].fd, saved_[j].settings);
      raw_ = 0;
      return false;
    }
  }
  return true;
}

// From the background: a shell that took the terminal back may have set its own settings
// already (its line editor's); those are not the program's to overwrite. Settings that are
// still the program's raw ones are put back (a shell that leaves them alone would be left raw).
bool TtyModes::stillOurs(const Saved& saved) {
  termios now{};
  if (tcgetattr(saved.fd, &now) != 0) return true;
  const termios raw = rawSettings(saved.settings);
  constexpr tcflag_t kernelOwned = FLUSHO | PENDIN;  // flipped by the line discipline itself
  return now.c_iflag == raw.c_iflag && now.c_oflag == raw.c_oflag &&
         (now.c_lflag & ~kernelOwned) == (raw.c_lflag & ~kernelOwned);
}

void TtyModes::leaveRaw() {
  if (!raw_) return;
  const bool foreground = inForeground();
  for (int i = 0; i < count_; ++i) {
    if (foreground || stillOurs(saved_[i])) setSettings(saved_[i].fd, saved_[i].settings);
  }
  raw_ = 0;
}

void TtyModes::reset() {
  saved_[0] = saved_[1] = Saved{};
  count_ = 0;
  raw_ = 0;
}

}  // namespace qv
