#include "console/win/windows_console.h"

#include <algorithm>
#include <cstdlib>

#include "channels/win/handle.h"
#include "console/system_console.h"
#include "console/win/console_control.h"
#include "runtime/run_error.h"

namespace qv {

namespace {

constexpr std::int32_t standardInputId = -10;
constexpr std::int32_t standardErrorId = -12;

WindowsConsole* activeConsole = nullptr;

void restoreActiveConsole() {
  if (activeConsole != nullptr) activeConsole->restore();
}

// One registration for the life of the process: every end path, and exit() as a backstop.
void registerRestoreStep() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  setTerminalRestoreStep(restoreActiveConsole);
  std::atexit(restoreActiveConsole);
}

// A whole-screen scroll-up is the grid's cheap case: it waits for the next present, where the
// console makes it in one call however many rows it was.
bool isWholeScreenScrollUp(const ScreenGrid& grid, ConsoleRect source, const ConsoleRect* clip,
                           ConsoleCoord destination) {
  const auto whole = [&](ConsoleRect r) {
    return r.left == 0 && r.top == 0 && r.right == grid.columns() - 1 &&
           r.bottom == grid.rows() - 1;
  };
  return whole(source) && (clip == nullptr || whole(*clip)) && destination.x == 0 &&
         destination.y < 0 && destination.y > -grid.rows();
}

// A scroll whose moved block lands wholly outside what it may change only blanks that area (the
// way the screen is cleared); the area, within the buffer, is returned.
bool isClear(const ScreenGrid& grid, ConsoleRect source, const ConsoleRect* clip,
             ConsoleCoord destination, ConsoleRect& area) {
  const ConsoleRect bounds = clip != nullptr ? *clip : source;
  area = {std::max<std::int16_t>({source.left, bounds.left, 0}),
          std::max<std::int16_t>({source.top, bounds.top, 0}),
          std::min<std::int16_t>({source.right, bounds.right, std::int16_t(grid.columns() - 1)}),
          std::min<std::int16_t>({source.bottom, bounds.bottom, std::int16_t(grid.rows() - 1)})};
  if (area.left > area.right || area.top > area.bottom) return false;
  const int movedRight = destination.x + (source.right - source.left);
  const int movedBottom = destination.y + (source.bottom - source.top);
  return movedRight < area.left || destination.x > area.right || movedBottom < area.top ||
         destination.y > area.bottom;
}

}  // namespace

Handle WindowsConsole::standardHandle(std::int32_t which) {
  if (which > standardInputId || which < standardErrorId) return noHandle;
  return fromWindowsHandle(GetStdHandle(static_cast<DWORD>(which)));
}

Handle WindowsConsole::openConsoleOutput() {
  const HANDLE console =
      CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  return console == INVALID_HANDLE_VALUE ? noHandle : fromWindowsHandle(console);
}

std::int32_t WindowsConsole::platformId() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;  // 148
  GetVersionExA(&version);
  return static_cast<std::int32_t>(version.dwPlatformId);
}

bool WindowsConsole::getScreenBufferInfo(Handle output, ScreenBufferInfo& info) {
  CONSOLE_SCREEN_BUFFER_INFO console{};
  if (output == noHandle || !GetConsoleScreenBufferInfo(toWindowsHandle(output), &console)) {
    return false;
  }
  if (!started_) startSession(output, console);
  info.size = {console.dwSize.X, console.dwSize.Y};
  info.cursorPosition = {console.dwCursorPosition.X, console.dwCursorPosition.Y};
  info.attributes = console.wAttributes;
  if (output == output_) {
    // Once drawing has begun, the grid knows the screen better than the console does.
    const ScreenGrid& grid = screen_.grid();
    info.size = {SHORT(grid.columns()), SHORT(grid.rows())};
    info.cursorPosition = grid.cursor();
  }
  return true;
}

void WindowsConsole::startSession(Handle output, const CONSOLE_SCREEN_BUFFER_INFO& info) {
  output_ = output;
  screen_.open(toWindowsHandle(output), {info.dwSize.X, info.dwSize.Y});
  screen_.grid().setCursor({info.dwCursorPosition.X, info.dwCursorPosition.Y});
  screen_.grid().clearChanges();
  keyboard_.open(GetStdHandle(STD_INPUT_HANDLE));
  activeConsole = this;
  registerRestoreStep();
  consoleControl::install(restoreActiveConsole);
  keyboard_.applyMode();
  started_ = true;
}

void WindowsConsole::writeCell(Handle output, ConsoleCell cell, ConsoleCoord position) {
  if (drawsOn(output)) screen_.grid().writeCell(position, cell);
}

void WindowsConsole::scrollScreenBuffer(Handle output, ConsoleRect source, const ConsoleRect* clip,
                                        ConsoleCoord destination, ConsoleCell fill) {
  if (!drawsOn(output)) return;
  ScreenGrid& grid = screen_.grid();
  ConsoleRect area{};
  if (isClear(grid, source, clip, destination, area)) {
    screen_.clearNatively(area, fill);
    return;
  }
  // Any other move is the grid's; its rows reach the console as changed rows.
  const bool scrollUp = isWholeScreenScrollUp(grid, source, clip, destination);
  grid.scroll(source, clip, destination, fill);
  if (scrollUp && grid.scrollLogFull()) screen_.present();
}

void WindowsConsole::fillCharacter(Handle output, std::uint8_t character, std::int32_t count,
                                   ConsoleCoord position) {
  if (drawsOn(output)) screen_.grid().fillCharacter(character, count, position);
}

void WindowsConsole::fillAttribute(Handle output, std::uint8_t attribute, std::int32_t count,
                                   ConsoleCoord position) {
  if (drawsOn(output)) screen_.grid().fillAttribute(attribute, count, position);
}

// The console moves the cursor once per statement: the place to notice Ctrl-C and to keep the
// screen buffer close behind the grid.
void WindowsConsole::setCursorPosition(Handle output, ConsoleCoord position) {
  if (!drawsOn(output)) return;
  screen_.grid().setCursor(position);
  handleControlEvents();
  screen_.presentIfDue();
}

bool WindowsConsole::numberOfInputEvents(Handle, std::uint32_t& count) {
  count = 0;
  if (!started_) return false;
  handleControlEvents();
  return keyboard_.count(count);
}

bool WindowsConsole::readInput(Handle, InputRecord& record) {
  return started_ && keyboard_.read(record);
}

void WindowsConsole::waitForInput(Handle) {
  if (!started_) return;
  handleControlEvents();
  std::uint32_t waiting = 0;
  if (keyboard_.count(waiting) && waiting > 0) return;
  // No key can come any more, so the line being edited can never end: leave the normal way.
  if (keyboard_.ended()) {
    exitCode = 0;
    terminateProgram();
  }
  screen_.present();
  keyboard_.wait(consoleControl::wakeEvent());
  handleControlEvents();
}

void WindowsConsole::handleControlEvents() {
  if (consoleControl::endRequested())
    terminateOnRequest(static_cast<int>(consoleControl::endStatus));
}

void WindowsConsole::restore() {
  if (!started_ || restored_) return;
  restored_ = true;
  screen_.present();
  keyboard_.restoreMode();
}

void useSystemConsole() {
  // Lives as long as the process: the restore step may run from exit() after static objects
  // are gone.
  static WindowsConsole* console = new WindowsConsole();
  setConsolePlatform(console);
}

}  // namespace qv
