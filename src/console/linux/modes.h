// The terminal settings the program found, saved once and put back however it ends. The
// keyboard and the screen may be one terminal (the usual case) or two (standard input on one
// terminal, the dialogue drawn on the controlling terminal).
//
// Settings change with SIGTTOU blocked, so that a change never stops the process: putting the
// settings back must work from the background too (behind a wrapper such as make, the shell
// may take the terminal back before the program could hand it over), and must never leave a
// stop that the shell does not hear of.
#pragma once

#include <signal.h>
#include <termios.h>

#include <csignal>

namespace qv {

// While one lives, SIGTTOU is blocked: the kernel then lets a process outside the terminal's
// foreground process group change its settings and write to it, instead of stopping it. For
// handing the terminal back, which must never stop the process. Async-signal-safe.
class SigttouBlocked {
 public:
  SigttouBlocked();
  ~SigttouBlocked();
  SigttouBlocked(const SigttouBlocked&) = delete;
  SigttouBlocked& operator=(const SigttouBlocked&) = delete;

 private:
  sigset_t previous_;
};

// The two descriptors are open on one terminal device.
bool sameTerminal(int a, int b);

class TtyModes {
 public:
  // Saves the settings of the screen terminal and, when it is a terminal too, of the
  // keyboard (keyboardFd < 0 or not a terminal: only the screen). Only the first successful
  // call saves; false when the screen's settings cannot be read.
  bool capture(int screenFd, int keyboardFd);

  // True when the screen terminal's foreground process group is this process's, or when
  // job control does not apply to it: then its settings and screen are this program's to use.
  bool inForeground() const;

  // Raw mode on every saved terminal, applied at once so that keys typed ahead stay queued.
  // False (and nothing left changed) when a terminal refuses. Meant for the foreground.
  bool enterRaw();
  // The saved settings back; harmless when they already are. Outside the foreground only
  // where the settings are still the raw ones. Async-signal-safe: a signal handler that ends
  // the process at once calls it too.
  void leaveRaw();
  bool raw() const { return raw_ != 0; }

  // Forgets what was saved, without touching the terminals (for tests).
  void reset();

  // What raw mode means here: no echo, no line editing, no CR or NL translation, no flow
  // control (Ctrl-S reaches the line editor), 8-bit input, output bytes unprocessed; ISIG
  // stays, so Ctrl-C and Ctrl-Z keep their meaning, and NOFLSH keeps the kernel from throwing
  // away the output still on its way to the terminal when they are typed.
  static termios rawSettings(const termios& original);

 private:
  struct Saved {
    int fd = -1;
    termios settings{};
  };
  static bool stillOurs(const Saved& saved);

  Saved saved_[2];
  int count_ = 0;
  // Set before raw mode is entered and cleared once it is left: a signal handler that finds it
  // set puts the settings back, which is harmless if they never changed.
  volatile std::sig_atomic_t raw_ = 0;
};

}  // namespace qv
