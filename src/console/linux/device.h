// The console device on Linux: a terminal. The grid is rendered with escape sequences (presenter),
// keys are decoded from the keyboard in raw mode, or from a pipe or a file as typed text
// (keyboard).
//
// Nothing touches the terminal until the console asks for a screen buffer's information: the
// session starts then, once. From there on the terminal is in raw mode while the program's
// process group has it in the foreground, signals are turned into work at safe points, and
// every way out puts the terminal back as it was found:
// - a signal that ends the process (Ctrl-C, Ctrl-\, a hang-up, kill) ends it through the one
//   end path, and then by that same signal;
// - Ctrl-Z (and SIGTTIN, SIGTTOU) hands the terminal back and stops the process with that
//   signal's default action; once continued in the foreground, it takes the terminal again
//   at its size then, below whatever was written meanwhile, and repaints; continued in the
//   background, it stops again until it is brought forward;
// - a terminal that goes away (EIO, ENXIO, EPIPE) ends the program as a hang-up would;
// - an abort() of the program puts the terminal back from the signal handler.
#pragma once

#include "console/console_device.h"
#include "console/linux/keyboard.h"
#include "console/linux/modes.h"
#include "console/linux/presenter.h"

namespace qv {

class TtyDevice final : public ConsoleDevice {
 public:
  // The process's standard input, output and error descriptors.
  explicit TtyDevice(int inputFd = 0, int outputFd = 1, int errorFd = 2);

  Handle standardHandle(std::int32_t which) override;
  Handle openConsoleOutput() override;

  bool prepareSession(Handle output, StartState& start) override;
  bool enterSession(ScreenGrid& grid) override;
  void endSession(ScreenGrid& grid) override;
  void endSessionFromSignalHandler() override;

  Presented present(ScreenGrid& grid) override;
  DeviceEvent takeEvent(ScreenGrid& grid, bool urgentOnly) override;

  void lineOutOfStep(const ScreenGrid& grid, int row, std::span<const std::uint8_t> line) override;
  bool countKeys(std::uint32_t& count) override;
  bool readKey(InputRecord& record) override;
  void waitForKeys(ScreenGrid& grid) override;
  DeviceEvent keysEnded() const override;

 private:
  DeviceEvent takeUrgentEvent(ScreenGrid& grid);
  DeviceEvent takeTerminal(ScreenGrid& grid, bool atStart = false);
  void handBack(ScreenGrid& grid);
  DeviceEvent suspend(ScreenGrid& grid, int stopSignal);
  DeviceEvent resume(ScreenGrid& grid);
  DeviceEvent finishResume(const ScreenGrid& grid);
  DeviceEvent applyTtySize();
  void probeGlyphWidth();
  DeviceEvent takeGlyphWidth();

  int standard_[3];
  int controllingTerminal_ = -1;  // opened when standard output is no terminal
  TtyModes modes_;
  TtyPresenter presenter_;
  TtyKeyboard keyboard_;
  bool keyboardIsOutput_ = false;  // keys come from the terminal the dialogue is drawn on
  bool resumePending_ = false;     // the terminal is ours again; the dialogue goes on there next
  bool utf8_ = true;               // the locale's character set, the terminal's
  int widthQuestion_ = 0;          // the cursor question that measures a glyph's width
};

}  // namespace qv
