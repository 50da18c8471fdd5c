#include "menu/dialogue_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "console/console_state.h"
#include "console/memory_console.h"
#include "menu/menu_loop.h"
#include "methods/methods.h"
#include "textio/io_result.h"
#include "textio/run_error.h"
#include "textio/startup.h"

namespace qv::testsupport {

namespace {

constexpr int columns = 80;
constexpr int waitingForKeysCode = 77;  // the child's exit code when it ran out of keys
constexpr unsigned watchdogSeconds = 120;

int screenPipe = -1;
MemoryConsole* childConsole = nullptr;

void writeAll(int fd, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t done = write(fd, bytes, size);
    if (done <= 0) return;
    bytes += done;
    size -= static_cast<std::size_t>(done);
  }
}

// The whole grid, its size and the cursor, in the child's own memory layout.
void sendScreen() {
  const ScreenGrid& grid = childConsole->grid();
  const int size[2] = {grid.columns(), grid.rows()};
  const ConsoleCoord cursor = grid.cursor();
  writeAll(screenPipe, size, sizeof size);
  writeAll(screenPipe, &cursor, sizeof cursor);
  for (int row = 0; row < grid.rows(); ++row) {
    writeAll(screenPipe, grid.row(row).data(), sizeof(ConsoleCell) * grid.columns());
  }
  close(screenPipe);
  screenPipe = -1;
}

void sendScreenOnce() {
  if (screenPipe >= 0) sendScreen();
}

[[noreturn]] void runChild(std::string_view keys, int rows, int screenFd, int outputFd) {
  alarm(watchdogSeconds);
  dup2(outputFd, STDOUT_FILENO);
  screenPipe = screenFd;
  static MemoryConsole console(columns, rows);
  childConsole = &console;
  console.typeText(keys);
  console.onInputExhausted([](MemoryConsole&) {
    sendScreenOnce();
    _exit(waitingForKeysCode);
  });
  setConsolePlatform(&console);
  resetConsoleState();
  resetDialogueState();
  resetLoopIndex();
  ioResult = 0;
  setTerminalRestoreStep(sendScreenOnce);
  startProgram(initConsole, runMenuLoop);
}

std::string readAll(int fd) {
  std::string text;
  char chunk[4096];
  for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;) text.append(chunk, got);
  return text;
}

ScreenShot decodeScreen(const std::string& bytes) {
  ScreenShot shot;
  int size[2];
  if (bytes.size() < sizeof size + sizeof shot.cursor) return shot;
  std::memcpy(size, bytes.data(), sizeof size);
  std::memcpy(&shot.cursor, bytes.data() + sizeof size, sizeof shot.cursor);
  const std::size_t cellCount = std::size_t(size[0]) * size[1];
  const std::size_t offset = sizeof size + sizeof shot.cursor;
  if (bytes.size() != offset + cellCount * sizeof(ConsoleCell)) return shot;
  shot.columns = size[0];
  shot.rows = size[1];
  shot.cells.resize(cellCount);
  std::memcpy(shot.cells.data(), bytes.data() + offset, cellCount * sizeof(ConsoleCell));
  return shot;
}

}  // namespace

std::string ScreenShot::rowText(int row) const {
  std::string text;
  for (int column = 0; column < columns; ++column) {
    text.push_back(static_cast<char>(cell(column, row).character));
  }
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

int ScreenShot::findRow(std::string_view text) const {
  for (int row = 0; row < rows; ++row) {
    if (rowText(row) == text) return row;
  }
  return -1;
}

std::string ScreenShot::dump() const {
  std::string text = "screen " + std::to_string(columns) + "x" + std::to_string(rows) +
                     ", cursor " + std::to_string(cursor.x) + "," + std::to_string(cursor.y) + "\n";
  for (int row = 0; row < rows; ++row) text += std::to_string(row) + ": " + rowText(row) + "\n";
  return text;
}

DialogueOutcome runDialogue(std::string_view keys, int rows) {
  int screenFds[2];
  int outputFds[2];
  DialogueOutcome outcome;
  if (pipe(screenFds) != 0) return outcome;
  if (pipe(outputFds) != 0) return outcome;
  const pid_t child = fork();
  if (child == 0) {
    close(screenFds[0]);
    close(outputFds[0]);
    runChild(keys, rows, screenFds[1], outputFds[1]);
  }
  close(screenFds[1]);
  close(outputFds[1]);
  // The screen is sent last, just before the child ends, so reading it to the end first cannot
  // leave the child blocked on a full output pipe for long: the report is a few lines.
  const std::string screenBytes = readAll(screenFds[0]);
  outcome.standardOutput = readAll(outputFds[0]);
  close(screenFds[0]);
  close(outputFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  outcome.screen = decodeScreen(screenBytes);
  if (WIFEXITED(status)) {
    outcome.exitCode = WEXITSTATUS(status);
    outcome.end =
        outcome.exitCode == waitingForKeysCode ? DialogueEnd::waitingForKeys : DialogueEnd::exited;
  }
  return outcome;
}

}  // namespace qv::testsupport
