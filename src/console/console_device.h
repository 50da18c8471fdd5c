// What a platform supplies under the grid console: the handles, a session on one of its screens,
// frames, the events that reach the program from outside, and keys. Everything else of the
// console (the grid, its drawing operations, when a frame goes out, the session's life) is
// written once, in GridConsole.
//
// The devices: a terminal on Linux (linux/device.h), the Windows console (win/device.h), a
// terminal in a web page (web/device.h), and memory, for tests (tests/support/memory_device.h).
#pragma once

#include <cstdint>
#include <span>

#include "channels/file_driver.h"
#include "console/console_platform.h"
#include "console/screen_grid.h"

namespace qv {

// What a device's event step found: the console acts on it.
struct DeviceEvent {
  enum class Kind : std::uint8_t {
    none,
    redraw,   // what the device shows is out of step: a frame now
    resize,   // a new size; extraRowsLeaving rows beyond the usual go to the scrollback
    end,      // a request to end the process with status
    hangUp,   // the device went away: the process ends with status
    failure,  // reading keys failed with osError: a run-time error
  };
  Kind kind = Kind::none;
  int columns = 0;
  int rows = 0;
  int extraRowsLeaving = 0;
  int status = 0;
  int osError = 0;

  static DeviceEvent resized(int columns, int rows, int extraRowsLeaving = 0) {
    return {Kind::resize, columns, rows, extraRowsLeaving, 0, 0};
  }
  static DeviceEvent ending(int status, Kind kind = Kind::end) {
    return {kind, 0, 0, 0, status, 0};
  }
  static DeviceEvent failed(int osError) { return {Kind::failure, 0, 0, 0, 0, osError}; }
  bool happened() const { return kind != Kind::none; }
};

class ConsoleDevice {
 public:
  // What a session starts from: the screen's size, where its cursor stands and the attribute
  // word the device reports; scrollLogRows is how many rows a frame may carry off the top.
  struct StartState {
    int columns = 80;
    int rows = 25;
    ConsoleCoord cursor{0, 0};
    std::uint16_t attributeWord = 0x07;
    int scrollLogRows = ScreenGrid::defaultScrollLogRows;
  };
  enum class Presented : std::uint8_t { shown, gaveWay };

  virtual ~ConsoleDevice() = default;

  // The handle of a standard id (see console_platform.h); noHandle for any other id.
  virtual Handle standardHandle(std::int32_t which) = 0;
  // The console's own screen when standard output is not one; noHandle if there is none.
  virtual Handle openConsoleOutput() = 0;
  virtual std::int32_t platformId() { return 2; }

  // The session. prepareSession prepares it on output when that is one of the device's screens
  // and reports the screen; nothing visible changes yet. False: no screen, nothing started.
  [[nodiscard]] virtual bool prepareSession(Handle output, StartState& start) = 0;
  // The grid exists: the device takes the screen (its modes, a first look, the first frame).
  // False when it cannot; the console then ends the session.
  [[nodiscard]] virtual bool enterSession(ScreenGrid& grid) = 0;
  // Puts the device back as the session found it, the last frame shown first. The console
  // calls it once on the way out; harmless when the session never began.
  virtual void endSession(ScreenGrid& grid) = 0;
  // The device's modes back from a signal handler that ends the process at once: only
  // async-signal-safe calls.
  virtual void endSessionFromSignalHandler() {}

  // The line being edited, as the line editor has it, goes on in the grid's row but no longer
  // reads as the grid shows it above (see ConsolePlatform::lineOutOfStep).
  virtual void lineOutOfStep(const ScreenGrid& /*grid*/, int /*row*/,
                             std::span<const std::uint8_t> /*line*/) {}
  // Shows what changed in the grid. gaveWay when the frame gave way to an event that must act
  // first (the next event step reports it).
  [[nodiscard]] virtual Presented present(ScreenGrid& grid) = 0;
  // What reached the program from outside since the last look (a request to end or to stop, a
  // new screen size): asked at the console's safe points, cheap when nothing came. With
  // urgentOnly (a frame gave way in the middle of a statement) only what cannot wait is taken:
  // an end or a stop; a new size waits for the next safe point.
  virtual DeviceEvent takeEvent(ScreenGrid& grid, bool urgentOnly) {
    (void)grid;
    (void)urgentOnly;
    return {};
  }

  // The keys: key events waiting (none removed), the oldest taken, a wait for more. The wait
  // may return without a key; the grid was just presented and stays shown while it lasts.
  [[nodiscard]] virtual bool countKeys(std::uint32_t& count) = 0;
  [[nodiscard]] virtual bool readKey(InputRecord& record) = 0;
  virtual void waitForKeys(ScreenGrid& grid) = 0;
  // Why no key can come any more (the input ran out, the device went away, a read failed);
  // none while keys can still come.
  [[nodiscard]] virtual DeviceEvent keysEnded() const { return {}; }
};

}  // namespace qv
