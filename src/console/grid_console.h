// The console's operations over a grid of cells, written once for every device. Drawing only
// changes the grid; the device shows it in frames, so that a statement, a line or a character
// never costs a call to the device of its own. A frame goes out:
// - when the console places the cursor (the end of every statement) and the last frame is more
//   than frameInterval old;
// - before the program waits for a key;
// - before a scroll could carry rows off the top that the device has not been shown yet.
//
// The session starts at the first question about one of the device's screens and is put back
// on every way out of the process (the run-time's end path, exit(), and the device's signal
// handlers where it has them).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "console/console_device.h"
#include "console/console_platform.h"
#include "console/screen_grid.h"

namespace qv {

class GridConsole final : public ConsolePlatform {
 public:
  // How far the device may lag behind the grid while the program keeps drawing.
  static constexpr std::chrono::milliseconds frameInterval{16};
  // Milliseconds on a clock that only goes forward.
  using Clock = std::int64_t (*)();
  static std::int64_t steadyMilliseconds();

  explicit GridConsole(ConsoleDevice& device, Clock clock = steadyMilliseconds);
  ~GridConsole() override;
  GridConsole(const GridConsole&) = delete;
  GridConsole& operator=(const GridConsole&) = delete;

  Handle standardHandle(std::int32_t which) override;
  Handle openConsoleOutput() override;
  std::int32_t platformId() override;

  bool getScreenBufferInfo(Handle output, ScreenBufferInfo& info) override;
  bool takeScreenBufferResize(Handle output, ScreenBufferInfo& info) override;
  void lineOutOfStep(Handle output, ConsoleCoord position,
                     std::span<const std::uint8_t> line) override;
  void writeCell(Handle output, ConsoleCell cell, ConsoleCoord position) override;
  void writeCells(Handle output, std::span<const std::uint8_t> characters, std::uint8_t attribute,
                  ConsoleCoord position) override;
  void scrollScreenBuffer(Handle output, ConsoleRect source, const ConsoleRect* clip,
                          ConsoleCoord destination, ConsoleCell fill) override;
  void fillCharacter(Handle output, std::uint8_t character, std::int32_t count,
                     ConsoleCoord position) override;
  void fillAttribute(Handle output, std::uint8_t attribute, std::int32_t count,
                     ConsoleCoord position) override;
  void setCursorPosition(Handle output, ConsoleCoord position) override;

  bool numberOfInputEvents(Handle input, std::uint32_t& count) override;
  bool readInput(Handle input, InputRecord& record) override;
  void waitForInput(Handle input) override;

  // The grid exists while a session runs.
  ConsoleDevice& device() { return device_; }
  bool started() const { return started_; }
  const ScreenGrid& grid() const { return *grid_; }
  // The screen has a new size: the grid takes it on (see ScreenGrid::resize), and the drivers
  // hear of it at their next call.
  void resizeGrid(int columns, int rows, int extraRowsLeaving = 0);

  // The device back as the session found it: the end path's step. Once.
  void endSession();

 private:
  bool drawsOn(Handle output) const { return started_ && output == screen_; }
  bool startSession(Handle output);
  void describe(ScreenBufferInfo& info);
  void frameIfDue();
  // A frame now. False when it gave way to an event, which has acted by the time it returns.
  bool presentFrame();
  bool present();  // presentFrame without the clock
  void handleEvents(bool urgentOnly = false);
  void act(const DeviceEvent& event);

  ConsoleDevice& device_;
  std::optional<ScreenGrid> grid_;
  Handle screen_ = noHandle;  // the screen buffer the session draws on
  std::uint16_t attributeWord_ = 0x07;
  ConsoleCoord toldSize_{0, 0};  // the size the drivers know
  bool regridded_ = false;       // resized since the drivers last heard: the cursor may have moved
  bool started_ = false;
  bool ended_ = false;
  Clock clock_;
  std::int64_t lastFrame_ = 0;
  // Statements between two looks at the clock: as many as take about a millisecond, at most
  // the largest (frameIfDue).
  static constexpr int largestStatementsPerClock = 64;
  int statementsPerClock_ = 1;
  int statementsSinceClock_ = 0;
  std::int64_t lastClock_ = 0;
};

// Ends the session of the console whose session is running (see GridConsole::endSession);
// harmless when there is none.
void endConsoleSession();

}  // namespace qv
