#include "pty_process.h"

#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace qv {

PtyProcess PtyProcess::start(int rows, int columns, const termios* settings,
                             const std::function<void()>& inChild) {
  winsize size{};
  size.ws_row = static_cast<unsigned short>(rows);
  size.ws_col = static_cast<unsigned short>(columns);
  std::fflush(nullptr);  // nothing buffered here may come out twice
  PtyProcess child;
  child.pid = forkpty(&child.master, nullptr, settings, &size);
  if (child.pid == 0) {
    inChild();
    _exit(127);
  }
  if (child.pid < 0) {
    std::perror("forkpty");
    child.master = -1;
  }
  return child;
}

void PtyProcess::resize(int rows, int columns) const {
  winsize size{};
  size.ws_row = static_cast<unsigned short>(rows);
  size.ws_col = static_cast<unsigned short>(columns);
  if (master >= 0) ioctl(master, TIOCSWINSZ, &size);
}

bool PtyProcess::reap(bool block, int& status, rusage* usage) const {
  if (pid <= 0) return false;
  pid_t done;
  do {
    done = wait4(pid, &status, block ? 0 : WNOHANG, usage);
  } while (done < 0 && errno == EINTR);
  return done == pid;
}

void PtyProcess::kill() const {
  if (pid <= 0) return;
  ::kill(-pid, SIGKILL);
  int status = 0;
  reap(true, status);
}

void setTerminalEnvironment(const std::vector<std::string>& entries) {
  setenv("TERM", "xterm-256color", 1);
  setenv("LANG", "C.UTF-8", 1);
  unsetenv("LC_ALL");
  for (const std::string& entry : entries) putenv(const_cast<char*>(entry.c_str()));
}

}  // namespace qv
