// The renderer over arbitrary console operations on a ScreenGrid (cells, scrolls, fills, the
// cursor, suspend and resume), rendered at arbitrary points. What it sends must be its own
// escape sequences, its own line feeds at the bottom row, and well-formed UTF-8 text without a
// single control character: a byte of the grid that reached the terminal as a control would
// move the cursor, change modes or worse. When the terminal is as large as the grid, a terminal
// emulator fed the same bytes must then show exactly the grid: its cells, colours and cursor.
#include <fuzzer/FuzzedDataProvider.h>
#include <vterm.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "console/screen_grid.h"
#include "console/terminal/cp437.h"
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

int terminalColour(int consoleColour) {
  return (consoleColour & 2) | ((consoleColour & 1) << 2) | ((consoleColour & 4) >> 2);
}

int indexOf(const VTermColor& colour) {
  return VTERM_COLOR_IS_INDEXED(&colour) ? colour.indexed.idx : -1;
}

class Emulator {
 public:
  Emulator(int columns, int rows) : vt_(vterm_new(rows, columns)) {
    vterm_set_utf8(vt_, 1);
    screen_ = vterm_obtain_screen(vt_);
    vterm_screen_reset(screen_, 1);
  }
  ~Emulator() { vterm_free(vt_); }
  Emulator(const Emulator&) = delete;
  Emulator& operator=(const Emulator&) = delete;

  // Line feeds move down or, on the bottom row, scroll the terminal: either is the renderer's
  // choice, and checkShows tells whether the screen came out right.
  void feed(std::string_view bytes) { vterm_input_write(vt_, bytes.data(), bytes.size()); }

  void checkShows(const qv::ScreenGrid& grid) const {
    for (int row = 0; row < grid.rows(); ++row) {
      for (int column = 0; column < grid.columns(); ++column) {
        VTermScreenCell shown{};
        vterm_screen_get_cell(screen_, VTermPos{row, column}, &shown);
        const qv::ConsoleCell cell = grid.cell(column, row);
        const char32_t glyph = qv::cp437CodePoint(cell.character);
        const char32_t blank = shown.chars[0] == 0 ? U' ' : char32_t(shown.chars[0]);
        check(blank == (glyph == 0 ? U' ' : glyph));
        check(indexOf(shown.fg) == terminalColour(cell.attribute & 7) + (cell.attribute & 8));
        check(indexOf(shown.bg) ==
              terminalColour((cell.attribute >> 4) & 7) + ((cell.attribute & 0x80) ? 8 : 0));
      }
    }
    check(cursor().row == std::clamp<int>(grid.cursor().y, 0, grid.rows() - 1));
    check(cursor().col == std::clamp<int>(grid.cursor().x, 0, grid.columns() - 1));
  }

  VTermPos cursor() const {
    VTermPos position{};
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &position);
    return position;
  }

 private:
  VTerm* vt_;
  VTermScreen* screen_;
};

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
  Emulator& emulator;
  bool showsWholeGrid;  // the terminal and the grid have the same size
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
    if (showsWholeGrid) emulator.checkShows(grid);
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
  Emulator emulator(terminalColumns, terminalRows);
  Terminal terminal{qv::Renderer(terminalColumns, terminalRows), emulator, sameSize, {}};
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
