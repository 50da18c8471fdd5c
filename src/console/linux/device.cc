#include "console/linux/device.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <utility>

#include "channels/file_driver.h"
#include "console/linux/charset.h"
#include "console/linux/signals.h"
#include "console/linux/terminfo.h"
#include "console/system_console.h"
#include "runtime/linux/signal_end.h"

namespace qv {

namespace {

constexpr int fallbackColumns = 80;
constexpr int fallbackRows = 25;
constexpr int largestSide = 32767;  // positions are 16-bit
constexpr std::uint16_t startAttribute = 0x07;
// How often a program that cannot stop in the background (SIGTTOU ignored, or an orphaned
// process group) looks whether it has the terminal again.
constexpr int backgroundCheckMs = 1000;
// A window edge being dragged sends size after size: the program acts once none has come for
// this long (or this long in all, for sizes that never stop coming). tmux changes its screen at
// once but tells the pane's new size at most every 250 ms, so a shorter wait would act on a size
// its screen (and its answers) already left.
constexpr int sizeSettleMs = 300;
constexpr int sizeSettleMostMs = 5000;
// How often the size is read and the cursor asked again when the size changes meanwhile.
constexpr int sizeAttempts = 16;

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

// An interrupt, a hang-up, a termination request and the like: the one end path, no report,
// and then the end by that very signal.
DeviceEvent endBySignal(int signalNumber, DeviceEvent::Kind kind = DeviceEvent::Kind::end) {
  setEndingSignal(signalNumber);
  return DeviceEvent::ending(128 + signalNumber, kind);
}

// A terminal that went away ends the program as the hang-up signal would have: by SIGHUP, or
// with its exit status when SIGHUP is ignored (nohup), since there is nothing left to talk to.
DeviceEvent hangUp() {
  return endBySignal(SIGHUP, DeviceEvent::Kind::hangUp);
}

}  // namespace

TerminalDevice::TerminalDevice(int inputFd, int outputFd, int errorFd)
    : standard_{inputFd, outputFd, errorFd} {}

Handle TerminalDevice::standardHandle(std::int32_t which) {
  const int slot = standardSlot(which);
  return slot < 0 ? noHandle : standard_[slot];
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
  // Keys come from standard input, or from the terminal the dialogue is drawn on when standard
  // input cannot be read at all (nohup).
  const int keyboardFd = isWriteOnly(standard_[0]) && !isWriteOnly(output) ? output : standard_[0];
  if (!modes_.capture(output, keyboardFd)) {
    signalPipe::uninstall();
    return false;
  }
  TerminalSize size{fallbackColumns, fallbackRows};
  readTerminalSize(output, size);
  TerminalCapabilities capabilities = readTerminfo(output).value_or(TerminalCapabilities::xterm());
  const LocaleCharacters characters = localeCharacters();
  utf8_ = characters.utf8;
  if (!characters.utf8) capabilities.glyphs = characters.glyphs;
  // Decided once: the renderer and the key filter both follow it.
  const bool teletype = !capabilities.addressable();
  keyboard_.open(keyboardFd, teletype);
  KeyDecoder& decoder = keyboard_.decoder();
  for (const auto& [bytes, key] : capabilities.keys) decoder.addKey(bytes, key);
  if (!characters.utf8) decoder.useSingleByteSet(characters.typed);
  keyboardIsScreen_ = isatty(keyboardFd) && sameTerminal(keyboardFd, output);
  screen_.open(output, size.columns, size.rows, std::move(capabilities), teletype);
  screen.columns = size.columns;
  screen.rows = size.rows;
  screen.cursor = {0, 0};  // the shell's rows go into the scrollback first
  screen.attributeWord = startAttribute;
  return true;
}

// An end request that came meanwhile stays with the signal pipe, for the console's next look.
bool TerminalDevice::beginSession(ScreenGrid& grid) {
  if (takeTerminal(grid, true).kind != DeviceEvent::Kind::hangUp) return true;
  handBack(grid);
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
DeviceEvent TerminalDevice::takeTerminal(ScreenGrid& grid, bool atStart) {
  for (;;) {
    if (const int signalNumber = signalPipe::endingSignal()) return endBySignal(signalNumber);
    signalPipe::takeContinue();  // answered here; a later one cancels the stop below
    if (modes_.inForeground()) break;
    if (!signalPipe::stopProcess(SIGTTOU)) signalPipe::waitForSignal(backgroundCheckMs);
  }
  if (!modes_.enterRaw()) return hangUp();
  if (atStart) {
    screen_.start();  // the size was read just now
    probeGlyphWidth();
    (void)screen_.present(grid);  // what stopped it is heard at the next safe point
    return {};
  }
  resumePending_ = true;  // at the next safe point: the console may be in the middle of a row
  return {};
}

// The size first: it may have changed while the terminal was someone else's, and the scroll
// margins and the rows scrolled into its scrollback are those of the size it has now.
DeviceEvent TerminalDevice::finishResume(const ScreenGrid& grid) {
  resumePending_ = false;
  signalPipe::takeResize();
  TerminalSize size{grid.columns(), grid.rows()};
  readTerminalSize(screen_.fd(), size);
  return DeviceEvent::resized(size.columns, size.rows,
                              screen_.resume(grid, size.columns, size.rows));
}

// The end path's step: the terminal back, and from then on every signal acts as it would
// without the program's handlers (one that arrives while the report is written ends at once).
void TerminalDevice::endSession(ScreenGrid& grid) {
  handBack(grid);
  signalPipe::uninstall();
}

// From the background too: the few bytes and the settings go through with SIGTTOU blocked,
// where the kernel would otherwise stop the process (with TOSTOP set) before it let go.
void TerminalDevice::handBack(ScreenGrid& grid) {
  if (!modes_.raw()) return;
  SigttouBlocked blocked;
  screen_.end(grid, modes_.inForeground());
  modes_.leaveRaw();
}

void TerminalDevice::endSessionFromSignalHandler() {
  SigttouBlocked blocked;
  screen_.endFromSignalHandler();
  modes_.leaveRaw();
}

ConsoleDevice::Presented TerminalDevice::present(ScreenGrid& grid) {
  return screen_.present(grid) ? Presented::shown : Presented::gaveWay;
}

DeviceEvent TerminalDevice::takeEvent(ScreenGrid& grid, bool urgentOnly) {
  if (const DeviceEvent urgent = takeUrgentEvent(grid); urgent.happened()) return urgent;
  if (urgentOnly) return {};
  if (signalPipe::pending() && signalPipe::takeContinue()) {
    if (const DeviceEvent lost = resume(grid); lost.happened()) return lost;
  }
  if (resumePending_) return finishResume(grid);
  if (signalPipe::pending() && signalPipe::takeResize()) return applyTerminalSize();
  // Ctrl-L redraws the screen, as in full-screen terminal programs, instead of typing its glyph.
  if (widthQuestion_ != 0) {
    if (const DeviceEvent redraw = takeGlyphWidth(); redraw.happened()) return redraw;
  }
  if (keyboard_.takeRedraw()) {
    screen_.repaint();
    return {DeviceEvent::Kind::redraw};
  }
  return {};
}

DeviceEvent TerminalDevice::takeUrgentEvent(ScreenGrid& grid) {
  if (screen_.gone()) return hangUp();
  if (!signalPipe::pending()) return {};
  if (const int signalNumber = signalPipe::endingSignal()) return endBySignal(signalNumber);
  if (const int stopSignal = signalPipe::takeStop()) return suspend(grid, stopSignal);
  return {};
}

DeviceEvent TerminalDevice::suspend(ScreenGrid& grid, int stopSignal) {
  handBack(grid);
  signalPipe::stopProcess(stopSignal);
  return takeTerminal(grid);
}

// Continued without having stopped itself (SIGSTOP cannot be caught, a SIGCONT out of the
// blue): whoever had the terminal meanwhile may have changed its settings and drawn on it.
DeviceEvent TerminalDevice::resume(ScreenGrid& grid) {
  if (!modes_.raw()) return {};
  if (!modes_.inForeground()) handBack(grid);
  return takeTerminal(grid);
}

// Once the size has settled, the terminal is asked where its cursor went. The answer counts
// only when no new size came between reading the size and the answer: then the answer came
// from a terminal of that size (its size and its screen change together). Otherwise the size
// is read and the cursor asked again.
DeviceEvent TerminalDevice::applyTerminalSize() {
  TerminalSize size{};
  int row = -1, column = -1;
  bool known = false;
  bool awaitedBeyond = false;
  for (int attempt = 0; attempt < sizeAttempts; ++attempt) {
    waitForSettledSize();
    if (signalPipe::urgent() || !readTerminalSize(screen_.fd(), size)) break;
    known = true;
    row = column = -1;
    if (!findCursor(row, column)) break;
    // A cursor beyond the size read belongs to a size not told yet: the next one is awaited,
    // once.
    const bool beyond = row >= size.rows || column >= size.columns;
    if (!signalPipe::takeResize() && !(beyond && !std::exchange(awaitedBeyond, true))) {
      if (beyond) row = column = -1;
      break;
    }
    row = column = -1;  // the answer may come from a size never read
  }
  if (!known) return {DeviceEvent::Kind::redraw};
  return DeviceEvent::resized(size.columns, size.rows,
                              screen_.resize(size.columns, size.rows, row, column));
}

// Until no new size has come for sizeSettleMs: nothing drawn meanwhile lands on a terminal
// whose size is still changing. An urgent signal cuts the wait short.
void TerminalDevice::waitForSettledSize() {
  const auto start = std::chrono::steady_clock::now();
  const auto limit = start + std::chrono::milliseconds(sizeSettleMostMs);
  auto settledAt = start + std::chrono::milliseconds(sizeSettleMs);
  for (auto now = start; now < std::min(settledAt, limit) && !signalPipe::urgent();
       now = std::chrono::steady_clock::now()) {
    signalPipe::waitForSignal(static_cast<int>(
        std::chrono::ceil<std::chrono::milliseconds>(std::min(settledAt, limit) - now).count()));
    if (signalPipe::takeResize()) {
      settledAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(sizeSettleMs);
    }
  }
  signalPipe::takeResize();  // what came is read with the size now
}

// Where the terminal's cursor stands once everything sent has arrived (0-based), asked after a
// resize: rows may have come down from its scrollback, or output on its way may have moved the
// cursor for the old size. False when the terminal cannot be asked or does not answer in time
// (the wait grows for a terminal whose answers came slowly, and an answer that comes later is
// taken as late, never as keys); keys typed meanwhile are kept, and an ending or stop signal
// cuts the wait short.
bool TerminalDevice::findCursor(int& row, int& column) {
  KeyDecoder& decoder = keyboard_.decoder();
  if (!keyboardIsScreen_ || !keyboard_.canRead()) return false;
  // A late answer may be waiting unread (nothing reads keys during a listing).
  if (pollfd waiting{keyboard_.fd(), POLLIN, 0}; poll(&waiting, 1, 0) > 0) keyboard_.readWaiting();
  if (!decoder.cursorWorthAsking() || !keyboard_.canRead()) return false;
  if (!screen_.sendUnsent() || !screen_.askCursor()) return false;
  const int question = decoder.expectCursorReport();
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(decoder.cursorWaitMs());
  std::optional<KeyDecoder::CursorReport> report;
  while (!(report = decoder.takeCursorReport()) || report->question != question) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    // Keys typed ahead may fill the queue before the answer, which then cannot be read: that
    // is no sign of a terminal that does not answer.
    if (left.count() <= 0 || signalPipe::urgent() || !keyboard_.canRead()) {
      if (left.count() <= 0 && keyboard_.canRead()) decoder.stopAwaitingCursorReport();
      row = column = -1;
      return false;
    }
    pollfd watched[2] = {{keyboard_.fd(), POLLIN, 0}, {signalPipe::wakeDescriptor(), POLLIN, 0}};
    if (poll(watched, 2, static_cast<int>(left.count())) <= 0) continue;
    if (watched[1].revents != 0) signalPipe::drain();
    if (watched[0].revents != 0) keyboard_.readWaiting();
  }
  row = report->row - 1;
  column = report->column - 1;
  return true;
}

// A terminal that draws glyphs of ambiguous width (è, °, the box lines) two cells wide, as
// East Asian set-ups do, would push every cell behind one a column right: at the start one
// such glyph is drawn and the cursor asked where it went. The answer is taken with the keys,
// whenever it comes, so that the start waits for nothing.
void TerminalDevice::probeGlyphWidth() {
  if (!utf8_ || !keyboardIsScreen_ || !keyboard_.canRead()) return;
  if (screen_.askCursorAfter("\xC3\xA8")) widthQuestion_ = keyboard_.decoder().expectCursorReport();
}

// A redraw once the answer says the glyph took two cells.
DeviceEvent TerminalDevice::takeGlyphWidth() {
  const std::optional<KeyDecoder::CursorReport> report = keyboard_.decoder().takeCursorReport();
  if (!report || report->question < widthQuestion_) return {};
  // From column 1, a glyph one cell wide leaves the cursor in column 2.
  const bool wide = report->question == widthQuestion_ && report->column > 2;
  widthQuestion_ = 0;
  if (!wide) return {};
  screen_.narrowAmbiguousGlyphs();
  return {DeviceEvent::Kind::redraw};
}

void TerminalDevice::lineOutOfStep(const ScreenGrid& grid, int row,
                                   std::span<const std::uint8_t> line) {
  screen_.lineOutOfStep(grid, row, line);
}

bool TerminalDevice::countKeys(std::uint32_t& count) {
  count = static_cast<std::uint32_t>(keyboard_.queue().size());
  return true;
}

bool TerminalDevice::readKey(InputRecord& record) {
  return keyboard_.queue().pop(record);
}

void TerminalDevice::waitForKeys(ScreenGrid&) {
  pollfd watched[2] = {{keyboard_.fd(), POLLIN, 0}, {signalPipe::wakeDescriptor(), POLLIN, 0}};
  const int ready = poll(watched, 2, keyboard_.msUntilFlush());
  if (ready == 0) keyboard_.flushIfDue();  // a lone Esc, not the start of a sequence
  if (ready <= 0) return;
  if (watched[1].revents != 0) signalPipe::drain();
  if (watched[0].revents != 0) keyboard_.readWaiting();
}

// Input that ran out is the user's way of saying the program is done; a read that failed is an
// I/O error like any other.
DeviceEvent TerminalDevice::keysEnded() const {
  if (!keyboard_.ended()) return {};
  if (keyboard_.hungUp()) return hangUp();
  if (keyboard_.failure() != 0) return DeviceEvent::failed(keyboard_.failure());
  return DeviceEvent::ending(0);
}

ConsoleDevice& systemConsoleDevice() {
  // Lives as long as the process, as the console that serves it.
  static TerminalDevice* device = new TerminalDevice();
  return *device;
}

}  // namespace qv
