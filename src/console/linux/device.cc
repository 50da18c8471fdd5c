#include "console/linux/device.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <optional>
#include <utility>

#include "channels/file_driver.h"
#include "console/linux/charset.h"
#include "console/linux/job_control.h"
#include "console/linux/resize.h"
#include "console/linux/signals.h"
#include "console/linux/terminfo.h"
#include "console/system_console.h"

namespace qv {

namespace {

constexpr int fallbackColumns = 80;
constexpr int fallbackRows = 25;
constexpr std::uint16_t startAttribute = 0x07;

}  // namespace

TtyDevice::TtyDevice(int inputFd, int outputFd, int errorFd)
    : standard_{inputFd, outputFd, errorFd} {}

Handle TtyDevice::standardHandle(std::int32_t which) {
  const int slot = standardSlot(which);
  return slot < 0 ? noHandle : standard_[slot];
}

Handle TtyDevice::openConsoleOutput() {
  if (controllingTerminal_ < 0) {
    controllingTerminal_ = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  }
  return controllingTerminal_ >= 0 ? controllingTerminal_ : noHandle;
}

bool TtyDevice::prepareSession(Handle output, StartState& start) {
  if (output < 0 || !isatty(output)) return false;
  if (!signalPipe::install()) return false;
  // Keys come from standard input, or from the terminal the dialogue is drawn on when standard
  // input cannot be read at all (nohup).
  const int keyboardFd = isWriteOnly(standard_[0]) && !isWriteOnly(output) ? output : standard_[0];
  if (!modes_.capture(output, keyboardFd)) {
    signalPipe::uninstall();
    return false;
  }
  TtySize size{fallbackColumns, fallbackRows};
  readTtySize(output, size);
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
  keyboardIsOutput_ = isatty(keyboardFd) && sameTerminal(keyboardFd, output);
  presenter_.open(output, size.columns, size.rows, std::move(capabilities), teletype);
  start.columns = size.columns;
  start.rows = size.rows;
  start.cursor = {0, 0};  // the shell's rows go into the scrollback first
  start.attributeWord = startAttribute;
  return true;
}

// An end request that came meanwhile stays with the signal pipe, for the console's next look.
bool TtyDevice::enterSession(ScreenGrid& grid) {
  if (takeTerminal(grid, true).kind != DeviceEvent::Kind::hangUp) return true;
  handBack(grid);
  presenter_.close();
  keyboard_.close();
  modes_.reset();
  return false;
}

// Raw mode and a full repaint, but only once the program's process group has the terminal; an
// ending signal that arrives meanwhile ends it there. At start-up, what the terminal showed
// first goes into its scrollback.
DeviceEvent TtyDevice::takeTerminal(ScreenGrid& grid, bool atStart) {
  if (const DeviceEvent ended = waitForForeground(modes_); ended.happened()) return ended;
  if (!modes_.enterRaw()) return hangUp();
  if (atStart) {
    presenter_.enterAtStart();  // the size was read just now
    probeGlyphWidth();
    (void)presenter_.present(grid);  // what stopped it is heard at the next safe point
    return {};
  }
  resumePending_ = true;  // at the next safe point: the console may be in the middle of a row
  return {};
}

// The size first: it may have changed while the terminal was someone else's, and the scroll
// margins and the rows scrolled into its scrollback are those of the size it has now.
DeviceEvent TtyDevice::finishResume(const ScreenGrid& grid) {
  resumePending_ = false;
  signalPipe::takeResize();
  TtySize size{grid.columns(), grid.rows()};
  readTtySize(presenter_.fd(), size);
  return DeviceEvent::resized(size.columns, size.rows,
                              presenter_.resume(grid, size.columns, size.rows));
}

// The end path's step: the terminal back, and from then on every signal acts as it would
// without the program's handlers (one that arrives while the report is written ends at once).
void TtyDevice::endSession(ScreenGrid& grid) {
  handBack(grid);
  signalPipe::uninstall();
}

// From the background too: the few bytes and the settings go through with SIGTTOU blocked,
// where the kernel would otherwise stop the process (with TOSTOP set) before it let go.
void TtyDevice::handBack(ScreenGrid& grid) {
  if (!modes_.raw()) return;
  SigttouBlocked blocked;
  presenter_.leave(grid, modes_.inForeground());
  modes_.leaveRaw();
}

void TtyDevice::endSessionFromSignalHandler() {
  SigttouBlocked blocked;
  presenter_.leaveFromSignalHandler();
  modes_.leaveRaw();
}

ConsoleDevice::Presented TtyDevice::present(ScreenGrid& grid) {
  return presenter_.present(grid) ? Presented::shown : Presented::gaveWay;
}

DeviceEvent TtyDevice::takeEvent(ScreenGrid& grid, bool urgentOnly) {
  if (const DeviceEvent urgent = takeUrgentEvent(grid); urgent.happened()) return urgent;
  if (urgentOnly) return {};
  if (signalPipe::pending() && signalPipe::takeContinue()) {
    if (const DeviceEvent lost = resume(grid); lost.happened()) return lost;
  }
  if (resumePending_) return finishResume(grid);
  if (signalPipe::pending() && signalPipe::takeResize()) return applyTtySize();
  // Ctrl-L redraws the screen, as in full-screen terminal programs, instead of typing its glyph.
  if (widthQuestion_ != 0) {
    if (const DeviceEvent redraw = takeGlyphWidth(); redraw.happened()) return redraw;
  }
  if (keyboard_.takeRedraw()) {
    presenter_.repaint();
    return {DeviceEvent::Kind::redraw};
  }
  return {};
}

DeviceEvent TtyDevice::takeUrgentEvent(ScreenGrid& grid) {
  if (presenter_.gone()) return hangUp();
  if (!signalPipe::pending()) return {};
  if (const int signalNumber = signalPipe::endingSignal()) return endBySignal(signalNumber);
  if (const int stopSignal = signalPipe::takeStop()) return suspend(grid, stopSignal);
  return {};
}

DeviceEvent TtyDevice::suspend(ScreenGrid& grid, int stopSignal) {
  handBack(grid);
  signalPipe::stopProcess(stopSignal);
  return takeTerminal(grid);
}

// Continued without having stopped itself (SIGSTOP cannot be caught, a SIGCONT out of the
// blue): whoever had the terminal meanwhile may have changed its settings and drawn on it.
DeviceEvent TtyDevice::resume(ScreenGrid& grid) {
  if (!modes_.raw()) return {};
  if (!modes_.inForeground()) handBack(grid);
  return takeTerminal(grid);
}

// The size and where the cursor went (see readSettledSize); a size that cannot be read leaves
// the grid as it is, drawn again.
DeviceEvent TtyDevice::applyTtySize() {
  TtySize size{};
  int row = -1, column = -1;
  if (!readSettledSize(presenter_, keyboard_, keyboardIsOutput_, size, row, column)) {
    return {DeviceEvent::Kind::redraw};
  }
  return DeviceEvent::resized(size.columns, size.rows,
                              presenter_.resize(size.columns, size.rows, row, column));
}

// A terminal that draws glyphs of ambiguous width (è, °, the box lines) two cells wide, as
// East Asian set-ups do, would push every cell behind one a column right: at the start one
// such glyph is drawn and the cursor asked where it went. The answer is taken with the keys,
// whenever it comes, so that the start waits for nothing.
void TtyDevice::probeGlyphWidth() {
  if (!utf8_ || !keyboardIsOutput_ || !keyboard_.canRead()) return;
  if (presenter_.askCursorAfter("\xC3\xA8"))
    widthQuestion_ = keyboard_.decoder().expectCursorReport();
}

// A redraw once the answer says the glyph took two cells.
DeviceEvent TtyDevice::takeGlyphWidth() {
  const std::optional<KeyDecoder::CursorReport> report = keyboard_.decoder().takeCursorReport();
  if (!report || report->question < widthQuestion_) return {};
  // From column 1, a glyph one cell wide leaves the cursor in column 2.
  const bool wide = report->question == widthQuestion_ && report->column > 2;
  widthQuestion_ = 0;
  if (!wide) return {};
  presenter_.narrowAmbiguousGlyphs();
  return {DeviceEvent::Kind::redraw};
}

void TtyDevice::lineOutOfStep(const ScreenGrid& grid, int row, std::span<const std::uint8_t> line) {
  presenter_.lineOutOfStep(grid, row, line);
}

bool TtyDevice::countKeys(std::uint32_t& count) {
  count = static_cast<std::uint32_t>(keyboard_.queue().size());
  return true;
}

bool TtyDevice::readKey(InputRecord& record) {
  return keyboard_.queue().pop(record);
}

void TtyDevice::waitForKeys(ScreenGrid&) {
  pollfd watched[2] = {{keyboard_.fd(), POLLIN, 0}, {signalPipe::wakeDescriptor(), POLLIN, 0}};
  const int ready = poll(watched, 2, keyboard_.msUntilFlush());
  if (ready == 0) keyboard_.flushIfDue();  // a lone Esc, not the start of a sequence
  if (ready <= 0) return;
  if (watched[1].revents != 0) signalPipe::drain();
  if (watched[0].revents != 0) keyboard_.readWaiting();
}

// Input that ran out is the user's way of saying the program is done; a read that failed is an
// I/O error like any other.
DeviceEvent TtyDevice::keysEnded() const {
  if (!keyboard_.ended()) return {};
  if (keyboard_.hungUp()) return hangUp();
  if (keyboard_.failure() != 0) return DeviceEvent::failed(keyboard_.failure());
  return DeviceEvent::ending(0);
}

ConsoleDevice& systemConsoleDevice() {
  // Lives as long as the process, as the console that serves it.
  static TtyDevice* device = new TtyDevice();
  return *device;
}

}  // namespace qv
