#include "console/linux/terminal_console.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "console/linux/signal_pipe.h"
#include "console/system_console.h"
#include "textio/run_error.h"

namespace qv {

namespace {

constexpr std::int32_t standardInputId = -10;
constexpr std::int32_t standardErrorId = -12;
constexpr int fallbackColumns = 80;
constexpr int fallbackRows = 25;
constexpr int largestSide = 32767;  // positions are 16-bit
constexpr std::uint16_t startAttribute = 0x07;
constexpr std::uint16_t hangUpExitCode = 128 + 1;  // as if SIGHUP had ended it

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

TerminalConsole* activeConsole = nullptr;

void restoreActiveTerminal() {
  if (activeConsole != nullptr) activeConsole->restore();
}

// One registration for the life of the process: every end path, and exit() as a backstop.
void registerRestoreStep() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  setTerminalRestoreStep(restoreActiveTerminal);
  std::atexit(restoreActiveTerminal);
}

[[noreturn]] void endProgram(std::uint16_t code) {
  exitCode = code;
  terminateProgram();
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
  const ScreenGrid& grid = display_.grid();
  info.size = {std::int16_t(grid.columns()), std::int16_t(grid.rows())};
  info.cursorPosition = grid.cursor();
  info.attributes = startAttribute;
  return true;
}

// The drivers ask at the start of every call: the place where a new window size reaches the
// console, so that the next output already wraps and scrolls at it.
bool TerminalConsole::takeScreenBufferResize(Handle, ScreenBufferInfo& info) {
  if (!started_) return false;
  handleSignals();
  if (!gridResized_) return false;
  gridResized_ = false;
  const ScreenGrid& grid = display_.grid();
  info.size = {std::int16_t(grid.columns()), std::int16_t(grid.rows())};
  info.cursorPosition = grid.cursor();
  info.attributes = startAttribute;
  return true;
}

bool TerminalConsole::startSession(int displayFd) {
  if (!signalPipe::install()) return false;
  if (!guard_.capture(displayFd, standard_[0])) {
    signalPipe::uninstall();
    return false;
  }
  activeConsole = this;
  registerRestoreStep();
  if (!guard_.enterRaw()) {
    guard_.reset();
    signalPipe::uninstall();
    return false;
  }
  TerminalSize size{fallbackColumns, fallbackRows};
  readTerminalSize(displayFd, size);
  display_.open(displayFd, size.columns, size.rows);
  keyboard_.open(standard_[0]);
  started_ = true;
  gridResized_ = false;
  display_.start();
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
  ScreenGrid& grid = display_.grid();
  if (grid.scrollLogRoom() < grid.rows()) display_.present();
  grid.scroll(source, clip, destination, fill);
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
  display_.presentIfDue();
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
    if (keyboard_.ended()) {
      // No key can come any more, so the line being edited can never end: leave the normal
      // way (a hung-up terminal as if it had said so with SIGHUP).
      endProgram(keyboard_.isTerminal() ? hangUpExitCode : 0);
    }
    display_.present();
    pollfd watched[2] = {{keyboard_.fd(), POLLIN, 0}, {signalPipe::wakeDescriptor(), POLLIN, 0}};
    const int timeout = keyboard_.needMore() ? KeyDecoder::escTimeoutMs : -1;
    const int ready = poll(watched, 2, timeout);
    if (ready == 0) keyboard_.flushPending();  // a lone Esc, not the start of a sequence
    if (ready <= 0) continue;
    if (watched[1].revents != 0) signalPipe::drain();
    if (watched[0].revents != 0) keyboard_.readWaiting();
  }
}

void TerminalConsole::handleSignals() {
  if (!signalPipe::pending()) return;
  if (const int signalNumber = signalPipe::endingSignal()) {
    endProgram(std::uint16_t(128 + signalNumber));
  }
  if (signalPipe::takeStop()) suspend();
  if (signalPipe::takeContinue()) resume();
  if (signalPipe::takeResize()) applyTerminalSize();
}

void TerminalConsole::restore() {
  if (!started_ || !guard_.raw()) return;
  display_.end();
  guard_.leaveRaw();
}

void TerminalConsole::suspend() {
  restore();
  signalPipe::stopProcess();
  signalPipe::takeContinue();  // the resume below is the answer to it
  resume();
}

void TerminalConsole::resume() {
  if (!guard_.enterRaw()) return;  // not ours at the moment (a background job): draw later
  display_.begin();
  applyTerminalSize();
  display_.present();
}

void TerminalConsole::applyTerminalSize() {
  TerminalSize size{};
  if (readTerminalSize(display_.fd(), size) && display_.resize(size.columns, size.rows)) {
    gridResized_ = true;
  }
  display_.present();
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
