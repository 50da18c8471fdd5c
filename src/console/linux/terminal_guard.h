// The terminal settings the program found, saved once and put back however it ends. The
// keyboard and the display may be one terminal (the usual case) or two (standard input on one
// terminal, the dialogue drawn on the controlling terminal).
#pragma once

#include <termios.h>

namespace qv {

class TerminalGuard {
 public:
  // Saves the settings of the display terminal and, when it is a terminal too, of the
  // keyboard (keyboardFd < 0 or not a terminal: only the display). Only the first successful
  // call saves; false when the display's settings cannot be read.
  bool capture(int displayFd, int keyboardFd);
  bool captured() const { return count_ > 0; }

  // Raw mode on every saved terminal, applied at once so that keys typed ahead stay queued.
  // False (and nothing left changed) when a terminal refuses.
  bool enterRaw();
  // The saved settings back; harmless when they already are.
  void leaveRaw();
  bool raw() const { return raw_; }

  // Forgets what was saved, without touching the terminals (for tests).
  void reset() { *this = TerminalGuard(); }

  // What raw mode means here: no echo, no line editing, no CR or NL translation, no flow
  // control (Ctrl-S reaches the line editor), 8-bit input, output bytes unprocessed; ISIG
  // stays, so Ctrl-C and Ctrl-Z keep their meaning.
  static termios rawSettings(const termios& original);

 private:
  struct Saved {
    int fd = -1;
    termios settings{};
  };
  Saved saved_[2];
  int count_ = 0;
  bool raw_ = false;
};

}  // namespace qv
