#include "console/linux/device.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>

#include "channels/file_driver.h"
#include "console/grid_console.h"
#include "console/linux/signals.h"
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

TerminalDevice::TerminalDevice(int inputFd, int outputFd, int errorFd)
    : standard_{inputFd, outputFd, errorFd} {}

Handle TerminalDevice::standardHandle(std::int32_t which) {
  if (which > standardInputId || which < standardErrorId) return noHandle;
  return standard_[standardInputId - which];
}

Handle TerminalDevice::openConsoleOutput() {
  if (controllingTerminal_ < 0) {
    controllingTerminal_ = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  }
  return controllingTerminal_ >= 0 ? controllingTerminal_ : noHandle;
}

bool TerminalDevice::startSession(Handle output, Screen& screen) {
  if (output < 0 || !isatty(output)) return false;
  if (!signalPipe::install()) return false;
  if (!modes_.capture(output, standard_[0])) {
    signalPipe::uninstall();
    return false;
  }
  TerminalSize size{fallbackColumns, fallbackRows};
  readTerminalSize(output, size);
  screen_.open(output, size.columns, size.rows);
  keyboard_.open(standard_[0]);
  screen.columns = size.columns;
  screen.rows = size.rows;
  screen.cursor = {0, 0};  // the shell's rows go into the scrollback first
  screen.attributeWord = startAttribute;
  return true;
}

bool TerminalDevice::beginSession() {
  if (takeTerminal(true)) return true;
  handBack();
  screen_.close();
  keyboard_.close();
  modes_.reset();
  return false;
}

// Raw mode and a full repaint, but only once the program's process group has the terminal: a
// job continued in the background (bg) stops again, the way a program that writes to its
// terminal from the background is stopped, until it is brought to the foreground. An ending
// signal that arrives meanwhile (kill %1 on a stopped job) ends it there. At start-up, what
// the terminal showed first goes into its scrollback.
bool TerminalDevice::takeTerminal(bool atStart) {
  for (;;) {
    if (const int signalNumber = signalPipe::endingSignal()) endBySignal(signalNumber);
    signalPipe::takeContinue();  // answered here; a later one cancels the stop below
    if (modes_.inForeground()) break;
    if (!signalPipe::stopProcess(SIGTTOU)) signalPipe::waitForSignal(backgroundCheckMs);
  }
  if (!modes_.enterRaw()) return false;
  if (atStart) {
    screen_.start();  // the size was read just now
    show();
  } else {
    screen_.begin();
    applyTerminalSize();  // it may have changed while the terminal was someone else's
  }
  return true;
}

// The end path's step: the terminal back, and from then on every signal acts as it would
// without the program's handlers (one that arrives while the report is written ends at once).
void TerminalDevice::endSession() {
  handBack();
  signalPipe::uninstall();
}

// From the background too: the few bytes and the settings go through with SIGTTOU blocked,
// where the kernel would otherwise stop the process (with TOSTOP set) before it let go.
void TerminalDevice::handBack() {
  if (!modes_.raw()) return;
  SigttouBlocked blocked;
  screen_.end(grid(), modes_.inForeground());
  modes_.leaveRaw();
}

void TerminalDevice::endSessionFromSignalHandler() {
  SigttouBlocked blocked;
  screen_.endFromSignalHandler();
  modes_.leaveRaw();
}

bool TerminalDevice::present() {
  return screen_.present(grid());
}

// After a frame that did not go out whole: whatever stopped it is dealt with now.
void TerminalDevice::show() {
  console().presentFrame();
}

void TerminalDevice::handleEvents() {
  if (screen_.gone()) endByHangUp();
  if (!signalPipe::pending()) return;
  if (const int signalNumber = signalPipe::endingSignal()) endBySignal(signalNumber);
  if (const int stopSignal = signalPipe::takeStop()) suspend(stopSignal);
  if (signalPipe::takeContinue()) resume();
  if (signalPipe::takeResize()) applyTerminalSize();
}

void TerminalDevice::suspend(int stopSignal) {
  handBack();
  signalPipe::stopProcess(stopSignal);
  if (!takeTerminal()) endByHangUp();
}

// Continued without having stopped itself (SIGSTOP cannot be caught, a SIGCONT out of the
// blue): whoever had the terminal meanwhile may have changed its settings and drawn on it.
void TerminalDevice::resume() {
  if (!modes_.raw()) return;
  if (!modes_.inForeground()) handBack();
  if (!takeTerminal()) endByHangUp();
}

void TerminalDevice::applyTerminalSize() {
  TerminalSize size{};
  if (readTerminalSize(screen_.fd(), size)) {
    screen_.resize(size.columns, size.rows);
    console().resizeGrid(size.columns, size.rows);
  }
  show();
}

bool TerminalDevice::countKeys(std::uint32_t& count) {
  count = static_cast<std::uint32_t>(keyboard_.queue().size());
  return true;
}

bool TerminalDevice::readKey(InputRecord& record) {
  return keyboard_.queue().pop(record);
}

void TerminalDevice::waitForKeys() {
  pollfd watched[2] = {{keyboard_.fd(), POLLIN, 0}, {signalPipe::wakeDescriptor(), POLLIN, 0}};
  const int timeout = keyboard_.needMore() ? KeyDecoder::escTimeoutMs : -1;
  const int ready = poll(watched, 2, timeout);
  if (ready == 0) keyboard_.flushPending();  // a lone Esc, not the start of a sequence
  if (ready <= 0) return;
  if (watched[1].revents != 0) signalPipe::drain();
  if (watched[0].revents != 0) keyboard_.readWaiting();
}

// No key can come any more, so the line being edited can never end. Input that ran out is the
// user's way of saying so; a read that failed is an I/O error like any other, with its report.
void TerminalDevice::endOfKeys() {
  if (keyboard_.hungUp()) endByHangUp();
  if (keyboard_.failure() != 0) {
    lastOsError = keyboard_.failure();
    mapOsError();
    checkIo();
  }
  endProgram(0);
}

ConsoleDevice& systemConsoleDevice() {
  // Lives as long as the process, as the console that serves it.
  static TerminalDevice* device = new TerminalDevice();
  return *device;
}

}  // namespace qv
