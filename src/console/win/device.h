// The console device on Windows: the screen buffer and the input queue of the console the
// program runs in, through the console API.
//
// Nothing touches the console until start-up asks for a screen buffer's information: the
// session starts then, once. From there on the keyboard is in the program's input mode, the
// grid reaches the screen buffer in frames, Ctrl-C and a closed window end the program through
// its one end path, and every way out puts the console back as it was found.
#pragma once

#include <windows.h>

#include "console/console_device.h"
#include "console/win/keyboard.h"
#include "console/win/modes.h"
#include "console/win/presenter.h"

namespace qv {

class WindowsDevice final : public ConsoleDevice {
 public:
  Handle standardHandle(std::int32_t which) override;
  Handle openConsoleOutput() override;
  std::int32_t platformId() override;

  bool prepareSession(Handle output, StartState& start) override;
  bool enterSession(ScreenGrid& grid) override;
  void endSession(ScreenGrid& grid) override;

  Presented present(ScreenGrid& grid) override;
  DeviceEvent takeEvent(ScreenGrid& grid, bool urgentOnly) override;

  bool countKeys(std::uint32_t& count) override;
  bool readKey(InputRecord& record) override;
  void waitForKeys(ScreenGrid& grid) override;
  DeviceEvent keysEnded() const override {
    return keyboard_.ended() ? DeviceEvent::ending(0) : DeviceEvent{};
  }

 private:
  WindowsModes modes_;
  WindowsPresenter presenter_;
  WindowsKeyboard keyboard_;
};

}  // namespace qv
