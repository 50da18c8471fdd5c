// The renderer against a terminal emulator (libvterm, on the Linux host): whatever happens to the
// grid, after a render the terminal shows the same cells, colours and cursor, and its scrollback
// holds the rows that scrolled off, in order; and every code page glyph takes one cell.
#include "console/terminal/renderer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "console/terminal/cp437.h"
#include "console/terminal/linux/grid_on_terminal.h"
#include "support/vterm_screen.h"

namespace qv {
namespace {

std::string gridText(const ScreenGrid& grid) {
  std::string text;
  for (int y = 0; y < grid.rows(); ++y) {
    text += std::to_string(y) + "|";
    for (ConsoleCell c : grid.row(y)) text += cp437Glyph(c.character);
    text += "|\n";
  }
  return text + "cursor " + std::to_string(grid.cursor().y) + "," +
         std::to_string(grid.cursor().x) + "\n";
}

// One random operation of the console on the grid; returns its name for failure messages.
const char* randomStep(ScreenGrid& grid, std::mt19937& random) {
  const auto below = [&](int n) { return n <= 0 ? 0 : int(random() % unsigned(n)); };
  const auto at = [](int v) { return std::int16_t(v); };
  const auto anyByte = [&] { return std::uint8_t(random()); };
  const auto anywhere = [&] {
    return ConsoleCoord{at(below(grid.columns())), at(below(grid.rows()))};
  };
  const ConsoleRect whole{0, 0, at(grid.columns() - 1), at(grid.rows() - 1)};
  switch (below(10)) {
    case 0:
    case 1: {
      const ConsoleCoord from = anywhere();
      const std::uint8_t attribute = anyByte();
      for (int i = 0, n = 1 + below(grid.columns()); i < n; ++i) {
        grid.writeCell({at(from.x + i), from.y}, {anyByte(), attribute});
      }
      grid.setCursor({at(std::min(from.x + 1, grid.columns() - 1)), from.y});
      return "text";
    }
    case 2:
    case 3: {  // lines at the bottom, each scrolling the whole screen up by one, now and then a
               // flood
      const int count = below(8) ? 1 + below(3) : grid.rows() * 3 + below(50);
      const std::uint8_t attribute = anyByte();
      for (int n = 0; n < count; ++n) {
        grid.scroll(whole, &whole, {0, -1}, {' ', attribute});
        for (int x = 0, w = below(grid.columns() + 1); x < w; ++x) {
          grid.writeCell({at(x), at(grid.rows() - 1)}, {anyByte(), attribute});
        }
      }
      grid.setCursor({0, at(grid.rows() - 1)});
      return count > 3 ? "many lines" : "lines";
    }
    case 4:
      if (below(2)) {
        grid.scroll(whole, &whole, {at(-grid.columns()), at(-grid.rows())}, {' ', anyByte()});
      } else {
        grid.fill({' ', anyByte()});
      }
      grid.setCursor({0, 0});
      return "clear";
    case 5: {
      const ConsoleCoord a = anywhere(), b = anywhere();
      const ConsoleRect source{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x),
                               std::max(a.y, b.y)};
      const ConsoleCoord to{at(source.left + below(5) - 2), at(source.top + below(5) - 2)};
      grid.scroll(source, below(2) ? &source : nullptr, to, {anyByte(), anyByte()});
      return "partial scroll";
    }
    case 6:
      grid.fillCharacter(anyByte(), below(grid.columns() * 2), anywhere());
      return "fill characters";
    case 7:
      grid.fillAttribute(anyByte(), below(grid.columns() * 2), anywhere());
      return "fill attributes";
    case 8:
      grid.scroll(whole, nullptr, {0, at(-1 - below(grid.rows()))}, {' ', anyByte()});
      return "scroll up";
    default:
      grid.setCursor(anywhere());
      return "cursor";
  }
}

struct Scenario {
  unsigned seed;
  int columns, rows;          // the grid
  int termColumns, termRows;  // the terminal at the start
  int logRows;                // the grid's scroll log
  int steps;                  // renders
  bool resizes;               // the terminal changes size now and then
};

void run(const Scenario& s) {
  ScreenGrid grid(s.columns, s.rows, {' ', 0x07}, s.logRows);
  std::mt19937 random(s.seed);
  const auto below = [&](int n) { return int(random() % unsigned(n)); };
  int termColumns = s.termColumns, termRows = s.termRows;
  Renderer renderer(termColumns, termRows);
  VtermScreen term(termRows, termColumns);
  std::string out;
  renderer.begin(out);
  for (int step = 0; step < s.steps; ++step) {
    std::string ops;
    for (int i = 0, n = 1 + below(4); i < n; ++i)
      ops += std::string(randomStep(grid, random)) + " ";
    if (s.resizes && below(40) == 0) {
      termColumns = 1 + below(s.columns + 10);
      termRows = 1 + below(s.rows + 5);
      term.resize(termRows, termColumns);
      renderer.resize(termColumns, termRows);
      ops += "resize ";
    }
    if (below(60) == 0) {  // resumed after another program left colours, margins, text
      term.feed("\x1b[1;7;35;42m\x1b[?7h\x1b[?25l\x1b[2;3r\x1b[" + std::to_string(termRows) +
                ";1H#@!");
      renderer.begin(out);
      ops += "resume ";
    }
    // libvterm keeps no row that a screen of one row scrolls away.
    const bool compareLog =
        !s.resizes && termColumns == s.columns && termRows == s.rows && s.rows > 1;
    std::vector<std::vector<ConsoleCell>> scrolledOff;
    for (long i = 0;
         compareLog && i < std::min<long>(grid.scrolledOffCount(), grid.scrollLogCapacity()); ++i) {
      const auto row = grid.scrolledOffRow(i);
      scrolledOff.emplace_back(row.begin(), row.end());
    }
    renderer.render(grid, out);
    grid.clearChanges();
    term.feed(out);
    out.clear();

    const std::string where =
        "seed " + std::to_string(s.seed) + ", step " + std::to_string(step) + " (" + ops + ")";
    ASSERT_EQ(differenceOnTerminal(grid, term), "") << where << "\ngrid:\n"
                                                    << gridText(grid) << "terminal:\n"
                                                    << term.dump();
    if (!compareLog) continue;
    const auto& pushed = term.scrollbackCells();
    ASSERT_EQ(pushed.size(), scrolledOff.size()) << where;
    for (std::size_t i = 0; i < pushed.size(); ++i) {
      for (int c = 0; c < s.columns; ++c) {
        ASSERT_TRUE(shows(pushed[i][std::size_t(c)], scrolledOff[i][c]))
            << where << ": scrollback row " << i << ", column " << c;
      }
    }
    term.clearScrollback();
  }
}

TEST(RendererDifferential, RandomGridOperationsShowTheSameOnTheTerminal) {
  // 7: a log smaller than a flood of lines; 11, 13: a smaller terminal shows the part that
  // holds the cursor; 12: a larger one shows black around the grid; 14, 15: it changes size.
  const Scenario scenarios[] = {
      {1, 80, 25, 80, 25, 1024, 600, false},   {3, 1, 1, 1, 1, 16, 1500, false},
      {4, 3, 2, 3, 2, 16, 1500, false},        {5, 132, 50, 132, 50, 1024, 300, false},
      {7, 80, 25, 80, 25, 30, 400, false},     {11, 80, 25, 30, 7, 1024, 800, false},
      {12, 80, 25, 100, 30, 1024, 400, false}, {13, 80, 25, 1, 1, 1024, 800, false},
      {14, 80, 25, 80, 25, 1024, 1500, true},  {15, 5, 3, 5, 3, 64, 1500, true}};
  for (const Scenario& s : scenarios) run(s);
}

// Between begin() and end() the numeric keypad is in application mode, so that its Enter is
// told from Ctrl-J. end() hands the terminal back: the cursor shown where the console's stands,
// the terminal's own colours, auto-wrap on, and the keypad sending what it did before.
TEST(Renderer, EndHandsTheTerminalBack) {
  ScreenGrid grid(10, 4, {' ', 0x1F});
  Renderer renderer(10, 4);
  VtermScreen term(4, 10);
  std::string sent, out;
  term.setOutputCallback([&](std::string_view bytes) { sent += bytes; });
  const auto keypad = [&] {
    sent.clear();
    term.typeOnKeypad("1+\r");
    return sent;
  };
  const std::string plain = keypad();
  EXPECT_EQ(plain.find('\x1b'), std::string::npos);
  renderer.begin(out);
  grid.setCursor({9, 2});
  renderer.render(grid, out);
  term.feed(out + "\x1b[1;1H");  // the cursor somewhere else: end() puts it back
  EXPECT_EQ(keypad(), "\x1bOq\x1bOk\x1bOM");
  out.clear();
  renderer.end(grid, out);
  term.feed(out);
  EXPECT_EQ(keypad(), plain);
  EXPECT_EQ(term.cursor().row, 2);
  EXPECT_EQ(term.cursor().col, 9);
  EXPECT_TRUE(term.cursor().visible);
  term.feed("xy");
  EXPECT_EQ(term.cell(2, 9).fg, -1);
  EXPECT_EQ(term.cell(2, 9).bg, -1);
  EXPECT_EQ(term.rowText(3), "y");
}

// Drawn side by side in a terminal, every glyph takes exactly one cell and shows its code point:
// a wide glyph would shift the rest of the row, a control byte would move the cursor, and a
// broken UTF-8 sequence would show a replacement character. The anchors in each region of the
// code page catch a table shifted by one.
TEST(Cp437, EveryGlyphIsOneCellOfItsCodePoint) {
  VtermScreen screen(1, 256);
  std::string row;
  for (int byte = 0; byte < 256; ++byte) row += cp437Glyph(std::uint8_t(byte));
  screen.feed(row);
  EXPECT_EQ(screen.cursor().col, 255) << "the last glyph leaves the cursor in the last column";
  for (int byte = 0; byte < 256; ++byte) {
    const VtermCell cell = screen.cell(0, byte);
    EXPECT_EQ(cell.width, 1) << "byte " << byte;
    EXPECT_LE(cell.chars.size(), 1u) << "byte " << byte;
    EXPECT_EQ(cell.chars.empty() ? U' ' : cell.chars[0], cp437CodePoint(std::uint8_t(byte)))
        << "byte " << byte;
  }
  const std::pair<int, const char*> anchors[] = {
      {0, " "},   {1, "☺"},   {27, "←"},  {'A', "A"}, {127, "⌂"}, {128, "Ç"},
      {151, "ù"}, {179, "│"}, {219, "█"}, {224, "α"}, {254, "■"}, {255, "\u00A0"}};
  for (const auto& [byte, glyph] : anchors) EXPECT_EQ(cp437Glyph(std::uint8_t(byte)), glyph);
}

}  // namespace
}  // namespace qv
