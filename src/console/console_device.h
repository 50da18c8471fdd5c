// What a platform supplies under the grid console: the handles, a session on one of its screens,
// frames, the events that reach the program from outside, and keys. Everything else of the
// console (the grid, its drawing operations, when a frame goes out, the session's life) is
// written once, in GridConsole.
//
// The devices: a terminal on Linux (linux/device.h), the Windows console (win/device.h), a
// terminal in a web page (web/device.h), and memory, for tests (tests/support/memory_device.h).
#pragma once

#include <cstdint>

#include "console/console_platform.h"
#include "console/screen_grid.h"

namespace qv {

class GridConsole;

class ConsoleDevice {
 public:
  // What a session starts from: the screen's size, where its cursor stands and the attribute
  // word the device reports; scrollLogRows is how many rows a frame may carry off the top.
  struct Screen {
    int columns = 80;
    int rows = 25;
    ConsoleCoord cursor{0, 0};
    std::uint16_t attributeWord = 0x07;
    int scrollLogRows = ScreenGrid::defaultScrollLogRows;
  };

  virtual ~ConsoleDevice() = default;

  // The standard handles: -10 input, -11 output, -12 error.
  virtual Handle standardHandle(std::int32_t which) = 0;
  // The console's own screen when standard output is not one; noHandle if there is none.
  virtual Handle openConsoleOutput() = 0;
  virtual std::int32_t platformId() { return 2; }

  // The session. startSession prepares it on output when that is one of the device's screens
  // and reports the screen; nothing visible changes yet. False: no screen, nothing started.
  [[nodiscard]] virtual bool startSession(Handle output, Screen& screen) = 0;
  // The grid exists: the device takes the screen (its modes, a first look, the first frame).
  // False when it cannot; the console then ends the session.
  [[nodiscard]] virtual bool beginSession() = 0;
  // Puts the device back as the session found it, the last frame shown first. The console
  // calls it once on the way out; harmless when the session never began.
  virtual void endSession() = 0;
  // The device's modes back from a signal handler that ends the process at once: only
  // async-signal-safe calls.
  virtual void endSessionFromSignalHandler() {}

  // Shows what changed in the grid. False when the frame gave way to an event that must act
  // first (handleEvents then acts on it).
  [[nodiscard]] virtual bool present() = 0;
  // Acts on what reached the program from outside since the last look (a request to end or to
  // stop, a new screen size): called at the console's safe points, cheap when nothing came.
  virtual void handleEvents() {}
  // The same in the middle of a statement (a frame that gave way while the console draws):
  // only what cannot wait acts now (a request to end or to stop); a new screen size waits for
  // the next safe point, where the console hears of it.
  virtual void handleUrgentEvents() { handleEvents(); }

  // The keys: key events waiting (none removed), the oldest taken, a wait for more. The wait
  // may return without a key; once keysEnded() no key can come any more.
  [[nodiscard]] virtual bool countKeys(std::uint32_t& count) = 0;
  [[nodiscard]] virtual bool readKey(InputRecord& record) = 0;
  virtual void waitForKeys() = 0;
  [[nodiscard]] virtual bool keysEnded() const { return false; }
  // No key can come any more, so the line being edited can never end: the program ends.
  [[noreturn]] virtual void endOfKeys();

 protected:
  // The console the device serves; set by GridConsole's constructor.
  GridConsole& console() const { return *console_; }
  ScreenGrid& grid() const;

 private:
  friend class GridConsole;
  GridConsole* console_ = nullptr;
};

}  // namespace qv
