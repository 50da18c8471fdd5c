// A process on the slave side of a new pseudo-terminal: the one way the tests and the terminal
// benchmark start a program on a terminal, change the terminal's size and end the program.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>
#include <termios.h>

#include <functional>
#include <string>
#include <vector>

namespace qv {

struct PtyProcess {
  pid_t pid = -1;   // -1: not started
  int master = -1;  // the terminal's side the keys go into and the output comes out of

  // Forks onto a new pseudo-terminal of this size, with these settings (null: the kernel's
  // defaults); the child runs inChild, which must exec or _exit.
  static PtyProcess start(int rows, int columns, const termios* settings,
                          const std::function<void()>& inChild);
  // The window changes size: the program gets SIGWINCH.
  void resize(int rows, int columns) const;
  // Whether the child has ended (block: waits until it has), with its status and usage.
  bool reap(bool block, int& status, rusage* usage = nullptr) const;
  // Kills the child, which leads a process group of its own, with that group, and reaps it.
  void kill() const;
};

// In the child: TERM=xterm-256color, LANG=C.UTF-8 and no LC_ALL, then these NAME=value entries.
void setTerminalEnvironment(const std::vector<std::string>& entries);

}  // namespace qv
