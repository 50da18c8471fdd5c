#include "console/web/device.h"

#include <emscripten.h>

#include <algorithm>
#include <chrono>

#include "channels/file_driver.h"
#include "console/grid_console.h"
#include "console/system_console.h"
#include "web/page.h"

namespace qv {

namespace {

constexpr Handle pageTerminal = 1;  // standard output, the page's terminal in a browser
constexpr std::uint16_t startAttribute = 0x07;
// How much output the terminal may have left to parse when a frame goes: none, so that what is
// on its way is never more than one frame (at most a scrollback's rows) and Ctrl-C shows soon.
constexpr double unparsedBound = 0;
// After the terminal parsed a frame, how many times that long it rests before the next one:
// parsing takes at most a ninth of a long run, and the frames still come several times a
// second.
constexpr double restPerParse = 8;
// Scrolls between two looks at the clock while rows stream into a full log.
constexpr int callsPerClock = 64;
// What a shell reports for a program that Ctrl-C ended (128 + SIGINT).
constexpr int interruptedStatus = 130;

}  // namespace

Handle WebDevice::standardHandle(std::int32_t which) {
  const int slot = standardSlot(which);
  return slot < 0 ? noHandle : slot;
}

Handle WebDevice::openConsoleOutput() {
  return pageTerminalPresent() ? pageTerminal : noHandle;
}

bool WebDevice::prepareSession(Handle output, StartState& start) {
  if (output != pageTerminal || !pageTerminalPresent()) return false;
  int size[3] = {0, 0, 0};
  qv_pageTerminalSize(size);
  start.columns = size[0];
  start.rows = size[1];
  // Rows beyond the terminal's scrollback would leave it before anyone saw them.
  start.scrollLogRows = std::max(size[2], ScreenGrid::defaultScrollLogRows);
  start.cursor = {0, 0};
  start.attributeWord = startAttribute;
  renderer_.emplace(size[0], size[1]);
  return true;
}

bool WebDevice::enterSession(ScreenGrid& grid) {
  keyboard_.open();
  lastYield_ = emscripten_get_now();
  renderer_->enter(out_);
  repaint_ = true;
  return present(grid) == Presented::shown;
}

// Ctrl-C ends the program as it does in a terminal, and as a terminal drops the output still
// waiting for it, the rows the page was not given yet are dropped: the last frame shows the
// screen as it stands.
void WebDevice::endSession(ScreenGrid& grid) {
  if (interrupted_) {
    grid.clearChanges();
    renderer_->invalidate();
    repaint_ = true;
  }
  if (grid.changed() || repaint_) renderer_->render(grid, out_);
  grid.clearChanges();
  renderer_->leave(grid, out_);
  // Whatever follows, a report, starts on a line of its own.
  if (grid.cursor().x != 0) out_ += "\r\n";
  send();
  keyboard_.close();
}

// While the terminal still parses earlier frames the changes wait in the grid, whose log keeps
// the newest scrollback's worth of rows that left its top.
ConsoleDevice::Presented WebDevice::present(ScreenGrid& grid) {
  if (!grid.changed() && !repaint_) return Presented::shown;
  // Once the grid's log is full the console asks at every scroll, and the page's clock costs
  // more than a row: it is read once in a number of them.
  const bool everyScroll = grid.scrollLogRoom() < grid.rows();
  if (everyScroll && ++callsSinceClock_ < callsPerClock) return Presented::shown;
  callsSinceClock_ = 0;
  if (!yieldIfDue()) return Presented::gaveWay;
  if (!pageBehind_ && emscripten_get_now() >= nextFrameAt_) draw(grid);
  return Presented::shown;
}

void WebDevice::draw(ScreenGrid& grid) {
  renderer_->render(grid, out_);
  grid.clearChanges();
  repaint_ = false;
  send();
}

void WebDevice::send() {
  pageTerminalWrite(reinterpret_cast<const std::uint8_t*>(out_.data()), out_.size());
  out_.clear();
  sentAt_ = emscripten_get_now();
  pageBehind_ = true;
  notePageProgress();
}

// The terminal parses while the browser has the thread: what it has not parsed is known anew
// after each turn the browser had.
void WebDevice::notePageProgress() {
  if (!pageBehind_ || qv_pageTerminalUnparsed() > unparsedBound) return;
  pageBehind_ = false;
  const double now = emscripten_get_now();
  nextFrameAt_ = now + restPerParse * (now - sentAt_);
}

bool WebDevice::yieldIfDue() {
  const double frameMs =
      std::chrono::duration<double, std::milli>(GridConsole::frameInterval).count();
  if (emscripten_get_now() - lastYield_ < frameMs) return true;
  qv_giveThreadToPage();
  pageHadTurn_ = true;
  lastYield_ = emscripten_get_now();
  notePageProgress();
  keyboard_.take();
  return !keyboard_.interrupted();
}

// Ctrl-C ends the program (see endSession). A new size of the page's terminal: the grid
// follows it and the terminal is painted anew.
DeviceEvent WebDevice::takeEvent(ScreenGrid&, bool urgentOnly) {
  if (keyboard_.interrupted()) {
    interrupted_ = true;
    return DeviceEvent::ending(interruptedStatus);
  }
  // A new size comes only while the browser has the thread: after a yield or a wait.
  if (urgentOnly || !pageHadTurn_) return {};
  pageHadTurn_ = false;
  int columns = 0;
  int rows = 0;
  if (!keyboard_.takeResize(columns, rows)) return {};
  renderer_->resize(columns, rows);
  repaint_ = true;
  return DeviceEvent::resized(columns, rows);
}

bool WebDevice::countKeys(std::uint32_t& count) {
  keyboard_.take();
  count = static_cast<std::uint32_t>(keyboard_.queue().size());
  return true;
}

bool WebDevice::readKey(InputRecord& record) {
  return keyboard_.queue().pop(record);
}

// What the user answers is on the page before the wait, whatever the terminal still parses.
void WebDevice::waitForKeys(ScreenGrid& grid) {
  if (grid.changed() || repaint_) draw(grid);
  keyboard_.wait();
  pageHadTurn_ = true;
  lastYield_ = emscripten_get_now();
  notePageProgress();
}

ConsoleDevice& systemConsoleDevice() {
  // Lives as long as the process, as the console that serves it.
  static WebDevice* device = new WebDevice();
  return *device;
}

}  // namespace qv
