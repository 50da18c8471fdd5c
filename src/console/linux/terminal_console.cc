#include "console/linux/terminal_console.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>

#include "channels/file_driver.h"
#include "console/linux/signal_pipe.h"
#include "console/system_console.h"
#include "runtime/linux/signal_end.h"
#include "runtime/run_error.h"

namespace qv {

namespace {

constexpr std::int32_t standardInputId = -10;
constexpr std::int32_t standardErrorId = -12;
constexpr int fallbackColumns = 80;
constexpr int fallbackRows = 25;
constexpr int largestSide = 32767;  // positions are 16-bit
constexpr std::uint16_t startAttribute = 0x07;
// How often a program that cannot stop in the background (SIGTTOU ignored, or an orphaned
// process group) looks whether it has the terminal again.
constexpr int backgroundCheckMs = 1000;

struct TerminalSize {
  int columns;
  int rows;
};

// False when the terminal does not say (or says 0).
bool readTerminalSize(int fd, TerminalSize& size) {
  winsize window{};
  if (ioctl(fd, TIOCGWINSZ, &window) != 0 || window.ws_col == 0 || window.ws_row == 0) {
    return false;
  }
  size = {std::min<int>(window.ws_col, largestSide), std::min<int>(window.ws_row, largestSide)};
  return true;
}

TerminalConsole* volatile activeConsole = nullptr;

// The end path's step: the terminal back, and from then on every signal acts as it would
// without the program's handlers (one that arrives while the report is written ends at once).
void restoreActiveTerminal() {
  if (activeConsole != nullptr) activeConsole->restore();
  signalPipe::uninstall();
}

void restoreActiveTerminalFromSignalHandler() {
  TerminalConsole* console = activeConsole;
  if (console != nullptr) console->restoreFromSignalHandler();
}

// One registration for the life of the process: every end path, the signal handlers that end
// the process at once, and exit() as a backstop.
void registerRestoreSteps() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  setTerminalRestoreStep(restoreActiveTerminal);
  setEmergencyRestoreStep(restoreActiveTerminalFromSignalHandler);
  std::atexit(restoreActiveTerminal);
}

[[noreturn]] void endProgram(std::uint16_t code) {
  exitCode = code;
  terminateProgram();
}

// An interrupt, a hang-up, a termination request and the like: the one end path, no report,
// and then the end by that very signal.
[[noreturn]] void endBySignal(int signalNumber) {
  setEndingSignal(signalNumber);
  terminateOnRequest(128 + signalNumber);
}

// A terminal that went away ends the program as the hang-up signal would have: by SIGHUP, or
// with its exit status when SIGHUP is ignored (nohup), since there is nothing left to talk to.
[[noreturn]] void endByHangUp() {
  endBySignal(SIGHUP);
}

}  // namespace

TerminalConsole::TerminalConsole(int inputFd, int outputFd, int errorFd)
    : standard_{inputFd, outputFd, errorFd} {}

Handle TerminalConsole::standardHandle(std::int32_t which) {
  if (which > standardInputId || which < standardErrorId) return noHandle;
  return standard_[standardInputId - which];
}

Handle TerminalConsole::openConsoleOutput() {
  if (controllingTerminal_ < 0) {
    controllingTerminal_ = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  }
  return controllingTerminal_ >= 0 ? controllingTerminal_ : noHandle;
}

bool TerminalConsole::getScreenBufferInfo(Handle output, ScreenBufferInfo& info) {
  if (output < 0 || !isatty(output)) return false;
  if (!started_ && !startSession(output)) return false;
  describeScreen(info);
  return true;
}

void TerminalConsole::describeScreen(ScreenBufferInfo& info) {
  const ScreenGrid& grid = display_.grid();
  info.size = {std::int16_t(grid.columns()), std::int16_t(grid.rows())};
  info.cursorPosition = grid.cursor();
  info.attributes = startAttribute;
}

// The drivers ask at the start of every call: the place where a new window size reaches the
// console, so that the next output already wraps and scrolls at it.
bool TerminalConsole::takeScreenBufferResize(Handle, ScreenBufferInfo& info) {
  if (!started_) return false;
  handleSignals();
  if (!gridResized_) return false;
  gridResized_ = false;
  describeScreen(info);
  return true;
}

bool TerminalConsole::startSession(int displayFd) {
  if (!signalPipe::install()) return false;
  if (!guard_.capture(displayFd, standard_[0])) {
    signalPipe::uninstall();
    return false;
  }
  TerminalSize size{fallbackColumns, fallbackRows};
  readTerminalSize(displayFd, size);
  display_.open(displayFd, size.columns, size.rows);
  keyboard_.open(standard_[0]);
  activeConsole = this;
  registerRestoreSteps();
  started_ = true;
  gridResized_ = false;
  if (!takeTerminal(true)) {
    shutDown();
    signalPipe::uninstall();
    return false;
  }
  return true;
}

// Raw mode and a full repaint, but only once the program's process group has the terminal: a
// job continued in the background (bg) stops again, the way a program that writes to its
// terminal from the background is stopped, until it is brought to the foreground. An ending
// signal that arrives meanwhile (kill %1 on a stopped job) ends it there. At start-up, what
// the terminal showed first goes into its scrollback.
bool TerminalConsole::takeTerminal(bool atStart) {
  for (;;) {
    if (const int signalNumber = signalPipe::endingSignal()) endBySignal(signalNumber);
    signalPipe::takeContinue();  // answered here; a later one cancels the stop below
    if (guard_.inForeground()) break;
    if (!signalPipe::stopProcess(SIGTTOU)) signalPipe::waitForSignal(backgroundCheckMs);
  }
  if (!guard_.enterRaw()) return false;
  if (atStart) {
    display_.start();  // the size was read just now
    show();
  } else {
    display_.begin();
    applyTerminalSize();  // it may have changed while the terminal was someone else's
  }
  return true;
}

void TerminalConsole::writeCell(Handle, ConsoleCell cell, ConsoleCoord position) {
  if (started_) display_.grid().writeCell(position, cell);
}

void TerminalConsole::scrollScreenBuffer(Handle, ConsoleRect source, const ConsoleRect* clip,
                                         ConsoleCoord destination, ConsoleCell fill) {
  if (!started_) return;
  // Rows that leave the top must reach the terminal's scrollback before the log drops them;
  // one scroll moves at most a screenful.
  if (display_.grid().scrollLogRoom() < display_.grid().rows()) show();
  display_.grid().scroll(source, clip, destination, fill);
}

void TerminalConsole::fillCharacter(Handle, std::uint8_t character, std::int32_t count,
                                    ConsoleCoord position) {
  if (started_) display_.grid().fillCharacter(character, count, position);
}

void TerminalConsole::fillAttribute(Handle, std::uint8_t attribute, std::int32_t count,
                                    ConsoleCoord position) {
  if (started_) display_.grid().fillAttribute(attribute, count, position);
}

// The console moves the cursor once per statement: the place to notice signals and to keep
// the terminal close behind the grid.
void TerminalConsole::setCursorPosition(Handle, ConsoleCoord position) {
  if (!started_) return;
  display_.grid().setCursor(position);
  handleSignals();
  if (!display_.presentIfDue()) handleSignals();
}

bool TerminalConsole::numberOfInputEvents(Handle, std::uint32_t& count) {
  count = 0;
  if (!started_) return false;
  handleSignals();
  count = std::uint32_t(keyboard_.queue().size());
  return true;
}

bool TerminalConsole::readInput(Handle, InputRecord& record) {
  return started_ && keyboard_.queue().pop(record);
}

void TerminalConsole::waitForInput(Handle) {
  if (!started_) return;
  for (;;) {
    handleSignals();
    if (!keyboard_.queue().empty()) return;
    if (keyboard_.ended()) endOfInput();
    if (!display_.present()) continue;  // a signal to act on first, or the terminal is gone
    pollfd watched[2] = {{keyboard_.fd(), POLLIN, 0}, {signalPipe::wakeDescriptor(), POLLIN, 0}};
    const int ready = poll(watched, 2, keyboard_.msUntilFlush());
    if (ready == 0) keyboard_.flushIfDue();  // a lone Esc, not the start of a sequence
    if (ready <= 0) continue;
    if (watched[1].revents != 0) signalPipe::drain();
    if (watched[0].revents != 0) keyboard_.readWaiting();
  }
}

// No key can come any more, so the line being edited can never end. Input that ran out is the
// user's way of saying so; a read that failed is an I/O error like any other, with its report.
void TerminalConsole::endOfInput() {
  if (keyboard_.hungUp()) endByHangUp();
  if (keyboard_.failure() != 0) {
    lastOsError = keyboard_.failure();
    mapOsError();
    checkIo();
  }
  endProgram(0);
}

// After a frame that did not go out whole: whatever stopped it is dealt with now.
void TerminalConsole::show() {
  if (!display_.present()) handleSignals();
}

void TerminalConsole::handleSignals() {
  if (display_.gone()) endByHangUp();
  if (!signalPipe::pending()) return;
  if (const int signalNumber = signalPipe::endingSignal()) endBySignal(signalNumber);
  if (const int stopSignal = signalPipe::takeStop()) suspend(stopSignal);
  if (signalPipe::takeContinue()) resume();
  if (signalPipe::takeResize()) applyTerminalSize();
}

// From the background too: the few bytes and the settings go through with SIGTTOU blocked,
// where the kernel would otherwise stop the process (with TOSTOP set) before it let go.
void TerminalConsole::restore() {
  if (!started_ || !guard_.raw()) return;
  SigttouBlocked blocked;
  display_.end(guard_.inForeground());
  guard_.leaveRaw();
}

void TerminalConsole::restoreFromSignalHandler() {
  if (!started_) return;
  SigttouBlocked blocked;
  display_.endFromSignalHandler();
  guard_.leaveRaw();
}

void TerminalConsole::suspend(int stopSignal) {
  restore();
  signalPipe::stopProcess(stopSignal);
  if (!takeTerminal()) endByHangUp();
}

// Continued without having stopped itself (SIGSTOP cannot be caught, a SIGCONT out of the
// blue): whoever had the terminal meanwhile may have changed its settings and drawn on it.
void TerminalConsole::resume() {
  if (!guard_.raw()) return;
  if (!guard_.inForeground()) restore();
  if (!takeTerminal()) endByHangUp();
}

void TerminalConsole::applyTerminalSize() {
  TerminalSize size{};
  if (readTerminalSize(display_.fd(), size) && display_.resize(size.columns, size.rows)) {
    gridResized_ = true;
  }
  show();
}

void TerminalConsole::shutDown() {
  restore();
  if (activeConsole == this) activeConsole = nullptr;
  display_.close();
  keyboard_.close();
  guard_.reset();
  if (controllingTerminal_ >= 0) close(controllingTerminal_);
  controllingTerminal_ = -1;
  started_ = false;
}

namespace {

// Lives as long as the process: the restore step may run from exit() after static objects
// are gone.
TerminalConsole& processConsole() {
  static TerminalConsole* console = new TerminalConsole();
  return *console;
}

}  // namespace

void useTerminalConsole() {
  setConsolePlatform(&processConsole());
}

void useSystemConsole() {
  useTerminalConsole();
}

void resetTerminalConsole() {
  processConsole().shutDown();
  signalPipe::reset();
}

}  // namespace qv
