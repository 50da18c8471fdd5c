#include "console/grid_console.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "channels/file_driver.h"
#include "console/system_console.h"
#include "runtime/run_error.h"

namespace qv {

namespace {

// The console whose session is running: signal handlers read it.
std::atomic<GridConsole*> activeConsole{nullptr};
#if !(defined(__arm__) && __GCC_ATOMIC_POINTER_LOCK_FREE == 1)
static_assert(std::atomic<GridConsole*>::is_always_lock_free);
#endif
// (armel's processors have no atomic instruction: GCC cannot promise lock-freedom when it
// compiles, and calls libgcc, which uses the Linux kernel's helper, lock-free all the same.)

ConsoleDevice* activeDevice() {
  GridConsole* console = activeConsole.load();
  return console != nullptr ? &console->device() : nullptr;
}

void endActiveSessionFromSignalHandler() {
  if (ConsoleDevice* device = activeDevice()) device->endSessionFromSignalHandler();
}

// One registration for the life of the process: every end path, the signal handlers that end
// the process at once, and exit() as a backstop.
void registerEndSteps() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  setTerminalRestoreStep(endConsoleSession);
  setEmergencyRestoreStep(endActiveSessionFromSignalHandler);
  std::atexit(endConsoleSession);
}

}  // namespace

void endConsoleSession() {
  if (GridConsole* console = activeConsole.load()) console->endSession();
}

std::int64_t GridConsole::steadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

GridConsole::GridConsole(ConsoleDevice& device, Clock clock) : device_(device), clock_(clock) {}

GridConsole::~GridConsole() {
  GridConsole* self = this;
  activeConsole.compare_exchange_strong(self, nullptr);
}

Handle GridConsole::standardHandle(std::int32_t which) {
  return device_.standardHandle(which);
}

Handle GridConsole::openConsoleOutput() {
  return device_.openConsoleOutput();
}

std::int32_t GridConsole::platformId() {
  return device_.platformId();
}

bool GridConsole::startSession(Handle output) {
  ConsoleDevice::StartState start;
  if (!device_.prepareSession(output, start)) return false;
  const ConsoleCell blank{' ', static_cast<std::uint8_t>(start.attributeWord & 0xFF)};
  grid_.emplace(start.columns, start.rows, blank, start.scrollLogRows);
  grid_->setCursor(start.cursor);
  screen_ = output;
  attributeWord_ = start.attributeWord;
  started_ = true;
  ended_ = false;
  activeConsole = this;
  registerEndSteps();
  lastFrame_ = clock_();
  if (device_.enterSession(*grid_)) {
    handleEvents(true);  // an end or a stop that came while the device began
    return true;
  }
  endSession();
  started_ = false;
  grid_.reset();
  GridConsole* self = this;
  activeConsole.compare_exchange_strong(self, nullptr);
  return false;
}

void GridConsole::describe(ScreenBufferInfo& info) {
  info.size = {static_cast<std::int16_t>(grid_->columns()),
               static_cast<std::int16_t>(grid_->rows())};
  info.cursorPosition = grid_->cursor();
  info.attributes = attributeWord_;
  toldSize_ = info.size;
  regridded_ = false;
}

bool GridConsole::getScreenBufferInfo(Handle output, ScreenBufferInfo& info) {
  if (output == noHandle) return false;
  if (!started_ && !startSession(output)) return false;
  if (output != screen_) return false;
  describe(info);
  return true;
}

// The drivers ask at the start of every call: the place where a new screen size reaches the
// console, so that the next output already wraps and scrolls at it.
bool GridConsole::takeScreenBufferResize(Handle output, ScreenBufferInfo& info) {
  if (!drawsOn(output)) return false;
  handleEvents();
  const ConsoleCoord size{static_cast<std::int16_t>(grid_->columns()),
                          static_cast<std::int16_t>(grid_->rows())};
  if (size == toldSize_ && !regridded_) return false;
  describe(info);
  return true;
}

void GridConsole::lineOutOfStep(Handle output, ConsoleCoord position,
                                std::span<const std::uint8_t> line) {
  if (drawsOn(output) && grid_->contains(position.x, position.y)) {
    device_.lineOutOfStep(*grid_, position.y, line);
  }
}

void GridConsole::writeCell(Handle output, ConsoleCell cell, ConsoleCoord position) {
  if (drawsOn(output)) grid_->writeCell(position, cell);
}

void GridConsole::writeCells(Handle output, std::span<const std::uint8_t> characters,
                             std::uint8_t attribute, ConsoleCoord position) {
  if (drawsOn(output)) grid_->writeCells(position, characters, attribute);
}

void GridConsole::scrollScreenBuffer(Handle output, ConsoleRect source, const ConsoleRect* clip,
                                     ConsoleCoord destination, ConsoleCell fill) {
  if (!drawsOn(output)) return;
  // Rows that leave the top must reach the device before the grid's log drops them; one
  // scroll moves at most a screenful. Once due, this asks at every scroll until the device
  // shows the grid: no look at the clock for it.
  if (grid_->scrollLogRoom() < grid_->rows()) present();
  grid_->scroll(source, clip, destination, fill);
}

void GridConsole::fillCharacter(Handle output, std::uint8_t character, std::int32_t count,
                                ConsoleCoord position) {
  if (drawsOn(output)) grid_->fillCharacter(character, count, position);
}

void GridConsole::fillAttribute(Handle output, std::uint8_t attribute, std::int32_t count,
                                ConsoleCoord position) {
  if (drawsOn(output)) grid_->fillAttribute(attribute, count, position);
}

// The console places the cursor once per statement: the place to act on events and to keep
// the device close behind the grid.
void GridConsole::setCursorPosition(Handle output, ConsoleCoord position) {
  if (!drawsOn(output)) return;
  grid_->setCursor(position);
  handleEvents();
  frameIfDue();
}

void GridConsole::frameIfDue() {
  if (!grid_->changed()) return;
  // A look at the clock can cost as much as a statement's drawing (in a browser it costs more):
  // while statements take less than a millisecond, the looks thin out, and a slower statement
  // brings them back at once. So a frame is late by 64 quick statements at most, and by a
  // slow one only at the first slow ones after a quick stretch.
  if (++statementsSinceClock_ < statementsPerClock_) return;
  statementsSinceClock_ = 0;
  const std::int64_t now = clock_();
  statementsPerClock_ =
      now == lastClock_ ? std::min(2 * statementsPerClock_, largestStatementsPerClock) : 1;
  lastClock_ = now;
  if (now - lastFrame_ < frameInterval.count()) return;
  presentFrame();
}

bool GridConsole::presentFrame() {
  if (!started_) return true;
  lastFrame_ = clock_();
  return present();
}

bool GridConsole::present() {
  if (device_.present(*grid_) == ConsoleDevice::Presented::shown) return true;
  handleEvents(true);
  return false;
}

void GridConsole::handleEvents(bool urgentOnly) {
  act(device_.takeEvent(*grid_, urgentOnly));
}

// The one place below the run-time where the process ends: devices only say why.
void GridConsole::act(const DeviceEvent& event) {
  switch (event.kind) {
    case DeviceEvent::Kind::none:
      return;
    case DeviceEvent::Kind::redraw:
      presentFrame();
      return;
    case DeviceEvent::Kind::resize:
      resizeGrid(event.columns, event.rows, event.extraRowsLeaving);
      presentFrame();
      return;
    case DeviceEvent::Kind::end:
    case DeviceEvent::Kind::hangUp:
      if (event.status == 0) {
        exitCode = 0;
        terminateProgram();
      }
      terminateOnRequest(event.status);
    case DeviceEvent::Kind::failure:
      // A read that failed is an I/O error like any other, with its report.
      lastOsError = event.osError;
      mapOsError();
      checkIo();
      exitCode = 0;
      terminateProgram();
  }
}

void GridConsole::resizeGrid(int columns, int rows, int extraRowsLeaving) {
  // Rows that the resize moves out of the grid go through its log, which must have room.
  if (grid_->scrollLogRoom() < grid_->rows()) presentFrame();
  grid_->resize(columns, rows, {' ', static_cast<std::uint8_t>(attributeWord_ & 0xFF)},
                extraRowsLeaving);
  regridded_ = true;
}

bool GridConsole::numberOfInputEvents(Handle, std::uint32_t& count) {
  count = 0;
  if (!started_) return false;
  handleEvents();
  return device_.countKeys(count);
}

bool GridConsole::readInput(Handle, InputRecord& record) {
  return started_ && device_.readKey(record);
}

void GridConsole::waitForInput(Handle) {
  if (!started_) return;
  handleEvents();
  std::uint32_t waiting = 0;
  if (device_.countKeys(waiting) && waiting > 0) return;
  // No key can come any more, so the line being edited can never end: the program ends.
  if (const DeviceEvent ended = device_.keysEnded(); ended.happened()) act(ended);
  if (!presentFrame()) return;  // an event came first: the caller looks again
  device_.waitForKeys(*grid_);
}

void GridConsole::endSession() {
  if (!started_ || ended_) return;
  ended_ = true;
  device_.endSession(*grid_);
}

void useSystemConsole() {
  // Lives as long as the process: the end step may run from exit() after static objects are
  // gone.
  static GridConsole* console = new GridConsole(systemConsoleDevice());
  setConsolePlatform(console);
}

}  // namespace qv
