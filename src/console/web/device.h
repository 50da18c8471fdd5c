// The console device in a browser tab: a terminal emulator in the page (xterm.js), handed the
// renderer's escape sequences as a terminal would be, with keys from it and from the page's key
// events (keyboard.h).
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

  bool startSession(Handle output, Screen& screen) override;
  bool beginSession() override;
  void endSession() override;

  bool present() override;
  void handleEvents() override;

  bool countKeys(std::uint32_t& count) override;
  bool readKey(InputRecord& record) override;
  void waitForKeys() override;

 private:
  void send();

  std::optional<Renderer> renderer_;
  std::string out_;
  bool repaint_ = false;
  WebKeyboard keyboard_;
};

}  // namespace qv
