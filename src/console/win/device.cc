#include "console/win/device.h"

#include "channels/file_driver.h"
#include "channels/win/handle.h"
#include "console/grid_console.h"
#include "console/system_console.h"
#include "console/win/signals.h"

namespace qv {

Handle WindowsDevice::standardHandle(std::int32_t which) {
  if (standardSlot(which) < 0) return noHandle;
  return fromWindowsHandle(GetStdHandle(static_cast<DWORD>(which)));
}

Handle WindowsDevice::openConsoleOutput() {
  const HANDLE console =
      CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  return console == INVALID_HANDLE_VALUE ? noHandle : fromWindowsHandle(console);
}

std::int32_t WindowsDevice::platformId() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;  // 148
  GetVersionExA(&version);
  return static_cast<std::int32_t>(version.dwPlatformId);
}

bool WindowsDevice::prepareSession(Handle output, StartState& start) {
  ConsoleCoord size{};
  WORD attributes = 0;
  if (output == noHandle ||
      !presenter_.open(toWindowsHandle(output), size, start.cursor, attributes)) {
    return false;
  }
  start.columns = size.x;
  start.rows = size.y;
  start.attributeWord = attributes;
  start.scrollLogRows = WindowsPresenter::scrollLogRows;
  return true;
}

bool WindowsDevice::enterSession(ScreenGrid& grid) {
  presenter_.load(grid);
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  keyboard_.open(input, modes_.capture(input));
  consoleControl::install(endConsoleSession);
  modes_.enterProgramMode();
  return true;
}

void WindowsDevice::endSession(ScreenGrid& grid) {
  presenter_.present(grid);
  modes_.leaveProgramMode();
}

ConsoleDevice::Presented WindowsDevice::present(ScreenGrid& grid) {
  presenter_.present(grid);
  return Presented::shown;
}

// Ctrl-C, Ctrl-Break and a closed window ask at any time, urgent or not.
DeviceEvent WindowsDevice::takeEvent(ScreenGrid&, bool) {
  if (!consoleControl::endRequested()) return {};
  return DeviceEvent::ending(static_cast<int>(consoleControl::endStatus));
}

bool WindowsDevice::countKeys(std::uint32_t& count) {
  return keyboard_.count(count);
}

bool WindowsDevice::readKey(InputRecord& record) {
  return keyboard_.read(record);
}

void WindowsDevice::waitForKeys(ScreenGrid&) {
  keyboard_.wait(consoleControl::wakeEvent());
}

ConsoleDevice& systemConsoleDevice() {
  // Lives as long as the process, as the console that serves it.
  static WindowsDevice* device = new WindowsDevice();
  return *device;
}

}  // namespace qv
