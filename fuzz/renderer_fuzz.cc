// The renderer over arbitrary console operations on a ScreenGrid (cells, scrolls, fills, the
// cursor, suspend and resume), rendered at arbitrary points. What it sends must be its own
// escape sequences, its own line feeds at the bottom row, and well-formed UTF-8 text without a
// single control character: a byte of the grid that reached the terminal as a control would
// move the cursor, change modes or worse. A terminal emulator fed the same bytes must then show
// the grid: the part of it that holds the cursor, its cells and colours, and the cursor.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "console/screen_grid.h"
#include "console/terminal/linux/grid_on_terminal.h"
#include "console/terminal/renderer.h"

namespace {

void printEscaped(std::string_view bytes) {
  for (const char c : bytes) {
    const auto byte = std::uint8_t(c);
    if (byte >= 0x20 && byte < 0x7F) {
      std::fputc(byte, stderr);
    } else {
      std::fprintf(stderr, "\\x%02X", byte);
    }
  }
  std::fputc('\n', stderr);
}

// The bytes under inspection, shown when a check fails.
std::string_view beingChecked;

void check(bool condition) {
  if (condition) return;
  if (!beingChecked.empty()) printEscaped(beingChecked);
  std::abort();
}

// Length of the escape sequence at the start of bytes (which begins with ESC): a control
// sequence ESC [ parameters intermediates final, or ESC and one more byte.
std::size_t escapeLength(std::string_view bytes) {
  check(bytes.size() >= 2);
  if (bytes[1] != '[') {
    check(bytes[1] >= 0x20 && bytes[1] <= 0x7E);
    return 2;
  }
  std::size_t i = 2;
  while (i < bytes.size() && bytes[i] >= 0x20 && bytes[i] <= 0x3F) ++i;
  check(i < bytes.size() && bytes[i] >= 0x40 && bytes[i] <= 0x7E);
  return i + 1;
}

// Length of the UTF-8 character at the start of bytes, which must be well-formed, not a C1
// control, and not a control or DEL in its one-byte form.
std::size_t textLength(std::string_view bytes) {
  const auto lead = std::uint8_t(bytes[0]);
  check(lead >= 0x20 && lead != 0x7F);
  if (lead < 0x80) return 1;
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  check(lead >= 0xC2 && lead <= 0xF4 && bytes.size() >= length);
  for (std::size_t i = 1; i < length; ++i) check((std::uint8_t(bytes[i]) & 0xC0) == 0x80);
  check(!(lead == 0xC2 && std::uint8_t(bytes[1]) <= 0x9F));  // U+0080..U+009F
  return length;
}

// Escape sequences, carriage returns, line feeds and well-formed text, nothing else. (Whether a
// line feed stands where the renderer may send one is for the emulator to tell.)
void checkBytes(std::string_view out) {
  while (!out.empty()) {
    std::size_t length = 1;
    if (out[0] == '\x1b') {
      length = escapeLength(out);
    } else if (out[0] != '\n' && out[0] != '\r') {
      length = textLength(out);
    }
    out.remove_prefix(length);
  }
}

qv::ConsoleCell cellFrom(FuzzedDataProvider& input) {
  return {input.ConsumeIntegral<std::uint8_t>(), input.ConsumeIntegral<std::uint8_t>()};
}

// Mostly inside the grid, sometimes just outside it.
qv::ConsoleCoord positionFrom(FuzzedDataProvider& input, const qv::ScreenGrid& grid) {
  return {std::int16_t(input.ConsumeIntegralInRange<int>(-1, grid.columns())),
          std::int16_t(input.ConsumeIntegralInRange<int>(-1, grid.rows()))};
}

void scrollFrom(FuzzedDataProvider& input, qv::ScreenGrid& grid) {
  const qv::ConsoleCoord a = positionFrom(input, grid), b = positionFrom(input, grid);
  const qv::ConsoleRect source{a.x, a.y, b.x, b.y};
  const qv::ConsoleCoord c = positionFrom(input, grid), d = positionFrom(input, grid);
  const qv::ConsoleRect clip{c.x, c.y, d.x, d.y};
  const qv::ConsoleCoord destination = positionFrom(input, grid);
  grid.scroll(source, input.ConsumeBool() ? &clip : nullptr, destination, cellFrom(input));
}

struct Terminal {
  qv::Renderer renderer;
  qv::VtermScreen emulator;
  std::string out;

  void send() {
    beingChecked = out;
    checkBytes(out);
    emulator.feed(out);
    beingChecked = {};
    out.clear();
  }
  void render(qv::ScreenGrid& grid) {
    renderer.render(grid, out);
    grid.clearChanges();
    send();
    const std::string difference = qv::differenceOnTerminal(grid, emulator);
    if (!difference.empty())
      std::fprintf(stderr, "%s\n%s", difference.c_str(), emulator.dump().c_str());
    check(difference.empty());
  }
};

void operate(FuzzedDataProvider& input, qv::ScreenGrid& grid, Terminal& terminal) {
  const int cells = grid.columns() * grid.rows();
  switch (input.ConsumeIntegralInRange<int>(0, 10)) {
    case 0:
    case 1:
    case 2:
      return grid.writeCell(positionFrom(input, grid), cellFrom(input));
    case 3:
      return scrollFrom(input, grid);
    case 4:
      return grid.fillCharacter(input.ConsumeIntegral<std::uint8_t>(),
                                input.ConsumeIntegralInRange<int>(-1, cells + 1),
                                positionFrom(input, grid));
    case 5:
      return grid.fillAttribute(input.ConsumeIntegral<std::uint8_t>(),
                                input.ConsumeIntegralInRange<int>(-1, cells + 1),
                                positionFrom(input, grid));
    case 6:
      return grid.fill(cellFrom(input));
    case 7:
      return grid.setCursor(positionFrom(input, grid));
    case 8:
      return terminal.renderer.invalidate();
    case 9:  // the program is suspended and comes back
      terminal.renderer.end(grid, terminal.out);
      terminal.renderer.begin(terminal.out);
      return terminal.send();
    default:
      return terminal.render(grid);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const int columns = input.ConsumeIntegralInRange<int>(1, 40);
  const int rows = input.ConsumeIntegralInRange<int>(1, 30);
  const int logRows = input.ConsumeIntegralInRange<int>(1, 64);
  const bool sameSize = input.ConsumeIntegralInRange<int>(0, 3) != 0;
  const int terminalColumns = sameSize ? columns : input.ConsumeIntegralInRange<int>(1, 40);
  const int terminalRows = sameSize ? rows : input.ConsumeIntegralInRange<int>(1, 30);

  qv::ScreenGrid grid(columns, rows, cellFrom(input), logRows);
  Terminal terminal{
      qv::Renderer(terminalColumns, terminalRows), {terminalRows, terminalColumns}, {}};
  terminal.renderer.begin(terminal.out);
  terminal.send();
  while (input.remaining_bytes() > 0) {
    operate(input, grid, terminal);
    // The display presents before a scroll could overflow the log of rows that left the top.
    if (input.ConsumeBool() && grid.scrollLogRoom() < grid.rows()) terminal.render(grid);
  }
  terminal.render(grid);
  terminal.renderer.end(grid, terminal.out);
  terminal.send();
  return 0;
}
