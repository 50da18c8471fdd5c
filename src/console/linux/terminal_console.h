// The console platform on a real terminal: a ScreenGrid rendered with escape sequences, keys
// decoded from the keyboard in raw mode (or from a pipe or a file as typed text).
//
// Nothing touches the terminal until the console asks for a screen buffer's information: the
// terminal session starts then, once. From there on the terminal is in raw mode while the
// program's process group has it in the foreground, signals are turned into work at safe
// points, and every way out puts the terminal back as it was found:
// - a signal that ends the process (Ctrl-C, Ctrl-\, a hang-up, kill) ends it through the one
//   end path, and then by that same signal;
// - Ctrl-Z (and SIGTTIN, SIGTTOU) hands the terminal back and stops the process with that
//   signal's default action; once continued in the foreground, it takes the terminal again
//   and repaints; continued in the background, it stops again until it is brought forward;
// - a terminal that goes away (EIO, ENXIO, EPIPE) ends the program as a hang-up would;
// - an abort() of the program puts the terminal back from the signal handler.
#pragma once

#include "console/console_platform.h"
#include "console/linux/terminal_display.h"
#include "console/linux/terminal_guard.h"
#include "console/linux/terminal_keyboard.h"

namespace qv {

class TerminalConsole final : public ConsolePlatform {
 public:
  // The process's standard input, output and error descriptors.
  explicit TerminalConsole(int inputFd = 0, int outputFd = 1, int errorFd = 2);

  Handle standardHandle(std::int32_t which) override;
  Handle openConsoleOutput() override;
  std::int32_t platformId() override { return 2; }

  bool getScreenBufferInfo(Handle output, ScreenBufferInfo& info) override;
  bool takeScreenBufferResize(Handle output, ScreenBufferInfo& info) override;
  void writeCell(Handle output, ConsoleCell cell, ConsoleCoord position) override;
  void scrollScreenBuffer(Handle output, ConsoleRect source, const ConsoleRect* clip,
                          ConsoleCoord destination, ConsoleCell fill) override;
  void fillCharacter(Handle output, std::uint8_t character, std::int32_t count,
                     ConsoleCoord position) override;
  void fillAttribute(Handle output, std::uint8_t attribute, std::int32_t count,
                     ConsoleCoord position) override;
  void setCursorPosition(Handle output, ConsoleCoord position) override;

  bool numberOfInputEvents(Handle input, std::uint32_t& count) override;
  bool readInput(Handle input, InputRecord& record) override;
  void waitForInput(Handle input) override;

  bool sessionStarted() const { return started_; }
  // The last frame, the terminal's own colours and cursor, the saved settings: what every
  // end path needs. Harmless when already done or when nothing was started.
  void restore();
  // The terminal's modes and settings back, from a signal handler: async-signal-safe.
  void restoreFromSignalHandler();
  // Restores, then forgets the session, so that the next query starts a new one (for tests).
  void shutDown();

 private:
  bool startSession(int displayFd);
  bool takeTerminal(bool atStart = false);
  void describeScreen(ScreenBufferInfo& info);
  void handleSignals();
  void suspend(int stopSignal);
  void resume();
  void applyTerminalSize();
  void show();
  [[noreturn]] void endOfInput();

  int standard_[3];
  int controllingTerminal_ = -1;  // opened when standard output is no terminal
  bool started_ = false;
  bool gridResized_ = false;  // not yet told to the console
  TerminalGuard guard_;
  TerminalDisplay display_;
  TerminalKeyboard keyboard_;
};

// Installs the terminal as the console platform. Nothing touches the terminal until the
// console asks for it at start-up.
void useTerminalConsole();
// Puts the terminal back and forgets the session and every recorded signal (for tests).
void resetTerminalConsole();

}  // namespace qv
