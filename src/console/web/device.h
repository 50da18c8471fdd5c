// The console device in a browser tab: a terminal emulator in the page (xterm.js), handed the
// renderer's escape sequences as a terminal would be, with keys from it and from the page's key
// events (keyboard.h).
//
// A long run keeps the page alive: the program gives the browser its thread back about once a
// frame. A frame waits while the terminal still parses the last one, and four times as long
// after it, so that parsing takes at most about a fifth of the time; meanwhile the rows that
// scroll wait in the grid's log, which is as long as the terminal's scrollback: a frame carries
// no more rows than the terminal would keep, the older ones are dropped as the terminal would.
//
// The page gives the program its terminal before the program starts; under node there is none,
// and the dialogue, like on a system without a console, says so and ends with code 1. There are
// no signals: the session ends only through the program's own end path, and the page shows
// the end (the exit code, a way to start again).
#pragma once

#include <optional>
#include <string>

#include "console/console_device.h"
#include "console/terminal/renderer.h"
#include "console/web/keyboard.h"

namespace qv {

class WebDevice final : public ConsoleDevice {
 public:
  Handle standardHandle(std::int32_t which) override;
  Handle openConsoleOutput() override;

  bool prepareSession(Handle output, StartState& start) override;
  bool enterSession(ScreenGrid& grid) override;
  void endSession(ScreenGrid& grid) override;

  Presented present(ScreenGrid& grid) override;
  DeviceEvent takeEvent(ScreenGrid& grid, bool urgentOnly) override;

  bool countKeys(std::uint32_t& count) override;
  bool readKey(InputRecord& record) override;
  void waitForKeys(ScreenGrid& grid) override;

 private:
  void draw(ScreenGrid& grid);
  void send();
  void notePageProgress();
  // Gives the browser its thread when the last time is a frame ago; false when Ctrl-C came.
  bool yieldIfDue();

  std::optional<Renderer> renderer_;
  std::string out_;
  bool repaint_ = false;
  // Milliseconds, the page's clock.
  double lastYield_ = 0;
  double sentAt_ = 0;         // the last frame handed to the terminal
  double nextFrameAt_ = 0;    // when the terminal may get the next one
  bool pageBehind_ = false;   // the terminal has not parsed the last frame yet
  bool pageHadTurn_ = true;   // the browser ran since takeEvent last looked
  bool interrupted_ = false;  // Ctrl-C ended the program: rows not given to the page are dropped
  int callsSinceClock_ = 0;
  WebKeyboard keyboard_;
};

}  // namespace qv
