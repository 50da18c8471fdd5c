// The renderer against a terminal emulator: whatever happens to the grid, after a render the
// terminal shows the same cells, colours and cursor, and its scrollback holds the rows that
// scrolled off, in order.
#include "console/terminal/renderer.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "console/terminal/cp437.h"
#include "support/vterm_screen.h"

namespace qv {
namespace {

constexpr ConsoleCell kBlank{' ', 0x07};
constexpr ConsoleCell kOutside{' ', 0x00};  // a terminal larger than the grid shows black there

// The terminal's colour number of each console colour (console: bit 0 blue; terminal: red).
constexpr int kTerminalColour[8] = {0, 4, 2, 6, 1, 5, 3, 7};
int expectedForeground(std::uint8_t a) {
  return kTerminalColour[a & 7] + ((a & 0x08) ? 8 : 0);
}
int expectedBackground(std::uint8_t a) {
  return kTerminalColour[(a >> 4) & 7] + ((a & 0x80) ? 8 : 0);
}

// "" when the terminal cell shows the grid cell, otherwise what differs.
std::string differences(const VtermCell& shown, ConsoleCell cell) {
  const char32_t glyph = shown.chars.empty() ? U' ' : shown.chars[0];
  if (glyph == cp437CodePoint(cell.character) && shown.chars.size() <= 1 &&
      shown.fg == expectedForeground(cell.attribute) &&
      shown.bg == expectedBackground(cell.attribute) && !shown.reverse) {
    return {};
  }
  std::ostringstream why;
  if (glyph != cp437CodePoint(cell.character) || shown.chars.size() > 1) {
    why << "glyph U+" << std::hex << std::uint32_t(glyph) << std::dec << " for byte "
        << int(cell.character) << "; ";
  }
  if (shown.fg != expectedForeground(cell.attribute)) {
    why << "fg " << shown.fg << " for attribute " << int(cell.attribute) << "; ";
  }
  if (shown.bg != expectedBackground(cell.attribute)) {
    why << "bg " << shown.bg << " for attribute " << int(cell.attribute) << "; ";
  }
  if (shown.reverse) why << "reverse video; ";
  return why.str();
}

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

// Compares the terminal with the part of the grid it shows. The terminal's cursor tells which
// part that is: the part that holds the console cursor.
std::string compareScreens(const ScreenGrid& grid, const VtermScreen& term) {
  const VtermCursor cursor = term.cursor();
  const int top = grid.cursor().y - cursor.row;
  const int left = grid.cursor().x - cursor.col;
  const int rows = std::min(term.rows(), grid.rows());
  const int columns = std::min(term.cols(), grid.columns());
  if (!cursor.visible) return "cursor hidden";
  if (top < 0 || left < 0 || top > grid.rows() - rows || left > grid.columns() - columns) {
    return "cursor at " + std::to_string(cursor.row) + "," + std::to_string(cursor.col) +
           " puts the view outside the grid";
  }
  for (int r = 0; r < term.rows(); ++r) {
    for (int c = 0; c < term.cols(); ++c) {
      const bool inside = r < rows && c < columns;
      const ConsoleCell expected = inside ? grid.cell(left + c, top + r) : kOutside;
      const std::string why = differences(term.cell(r, c), expected);
      if (!why.empty()) {
        return "terminal cell " + std::to_string(r) + "," + std::to_string(c) + ": " + why;
      }
    }
  }
  return {};
}

// The bytes a render sends: escape sequences, UTF-8 glyphs, and line feeds; nothing else.
std::string checkBytes(const std::string& out, long& lineFeeds) {
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto b = static_cast<unsigned char>(out[i]);
    if (b == 0x1b) {
      if (i + 1 >= out.size() || out[i + 1] != '[') return "ESC without [";
      i += 2;
      while (i < out.size() && (std::isdigit(out[i]) || out[i] == ';' || out[i] == '?')) ++i;
      if (i >= out.size() || !std::isalpha(static_cast<unsigned char>(out[i]))) {
        return "unterminated sequence";
      }
    } else if (b == '\n') {
      ++lineFeeds;
    } else if (b < 0x20 || b == 0x7f) {
      return "control byte " + std::to_string(b) + " at " + std::to_string(i);
    }
  }
  return {};
}

struct Scenario {
  unsigned seed;
  int columns, rows;          // the grid
  int termColumns, termRows;  // the terminal at the start
  int logRows;                // the grid's scroll log
  int steps;                  // renders
  bool resizes;               // the terminal changes size now and then
};

class GridScript {
 public:
  GridScript(ScreenGrid& grid, unsigned seed) : grid_(grid), random_(seed) {}

  int below(int n) { return n <= 0 ? 0 : int(random_() % unsigned(n)); }
  std::uint8_t anyByte() { return std::uint8_t(random_()); }
  ConsoleCoord anywhere() { return {coord(below(grid_.columns())), coord(below(grid_.rows()))}; }

  // One random operation of the console on the grid; returns its name for failure messages.
  const char* step() {
    const int pick = below(12);
    if (pick < 3) return text();
    if (pick < 5) return lines(1 + below(3));
    if (pick == 5) return scrollUp(1 + below(grid_.rows()));
    if (pick == 6 && below(4) == 0) return lines(grid_.rows() * 3 + below(50));  // a flood
    if (pick == 7) return clear();
    if (pick == 8) return partialScroll();
    if (pick == 9) return fills();
    if (pick == 10) return allBytes();
    return cursor();
  }

 private:
  static std::int16_t coord(int v) { return std::int16_t(v); }
  ConsoleRect whole() const { return {0, 0, coord(grid_.columns() - 1), coord(grid_.rows() - 1)}; }

  const char* text() {
    const ConsoleCoord at = anywhere();
    const std::uint8_t attribute = anyByte();
    for (int i = 0, n = 1 + below(grid_.columns()); i < n; ++i) {
      grid_.writeCell({coord(at.x + i), at.y}, {anyByte(), attribute});
    }
    grid_.setCursor({coord(std::min(at.x + 1, grid_.columns() - 1)), at.y});
    return "text";
  }
  // Lines written at the bottom, each scrolling the whole screen up by one, as the console's
  // output does.
  const char* lines(int count) {
    const std::uint8_t attribute = anyByte();
    const ConsoleRect screen = whole();
    for (int n = 0; n < count; ++n) {
      grid_.scroll(screen, &screen, {0, -1}, {' ', attribute});
      for (int x = 0, w = below(grid_.columns() + 1); x < w; ++x) {
        grid_.writeCell({coord(x), coord(grid_.rows() - 1)}, {anyByte(), attribute});
      }
    }
    grid_.setCursor({0, coord(grid_.rows() - 1)});
    return count > 3 ? "many lines" : "lines";
  }
  const char* scrollUp(int by) {
    const ConsoleRect screen = whole();
    grid_.scroll(screen, below(2) ? &screen : nullptr, {0, coord(-by)}, {' ', anyByte()});
    return "scroll up";
  }
  const char* clear() {
    const ConsoleRect screen = whole();
    if (below(2)) {
      grid_.scroll(screen, &screen, {coord(-grid_.columns()), coord(-grid_.rows())},
                   {' ', anyByte()});
    } else {
      grid_.fill({' ', anyByte()});
    }
    grid_.setCursor({0, 0});
    return "clear";
  }
  const char* partialScroll() {
    const ConsoleCoord a = anywhere(), b = anywhere();
    const ConsoleRect source{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x),
                             std::max(a.y, b.y)};
    const ConsoleCoord to{coord(source.left + below(5) - 2), coord(source.top + below(5) - 2)};
    grid_.scroll(source, below(2) ? &source : nullptr, to, {anyByte(), anyByte()});
    return "partial scroll";
  }
  const char* fills() {
    const int count = below(grid_.columns() * 2);
    if (below(2)) {
      grid_.fillCharacter(anyByte(), count, anywhere());
    } else {
      grid_.fillAttribute(anyByte(), count, anywhere());
    }
    return "fill";
  }
  const char* allBytes() {
    ConsoleCoord at = anywhere();
    const std::uint8_t attribute = anyByte();
    for (int b = 0; b < 256; ++b) {
      grid_.writeCell(at, {std::uint8_t(b), attribute});
      if (++at.x == grid_.columns()) at.x = 0, at.y = coord((at.y + 1) % grid_.rows());
    }
    return "all bytes";
  }
  const char* cursor() {
    grid_.setCursor(anywhere());
    return "cursor";
  }

  ScreenGrid& grid_;
  std::mt19937 random_;
};

// What another program may have left on the terminal before a start or a resume.
std::string garbage(std::mt19937& random, int columns, int rows) {
  std::string bytes = "\x1b[1;7;35;42m\x1b[?7h\x1b[?25l";
  if (rows >= 3) bytes += "\x1b[2;" + std::to_string(rows - 1) + "r";
  for (int i = 0; columns >= 5 && i < 6; ++i) {
    bytes += "\x1b[" + std::to_string(1 + random() % rows) + ";" +
             std::to_string(1 + random() % (columns - 4)) + "H#@!";
  }
  return bytes;
}

void run(const Scenario& s) {
  ScreenGrid grid(s.columns, s.rows, kBlank, s.logRows);
  GridScript script(grid, s.seed);
  std::mt19937 random(s.seed * 7919u);
  int termColumns = s.termColumns, termRows = s.termRows;
  Renderer renderer(termColumns, termRows);
  VtermScreen term(termRows, termColumns);
  std::vector<std::vector<ConsoleCell>> scrolledOff;
  std::string out;
  renderer.begin(out);

  for (int step = 0; step < s.steps; ++step) {
    std::string ops;
    for (int i = 0, n = 1 + script.below(4); i < n; ++i) ops += std::string(script.step()) + " ";
    if (s.resizes && script.below(40) == 0) {
      termColumns = 1 + script.below(s.columns + 10);
      termRows = 1 + script.below(s.rows + 5);
      term.resize(termRows, termColumns);
      renderer.resize(termColumns, termRows);
      ops += "resize ";
    }
    if (script.below(60) == 0) {  // resumed after another program used the terminal
      term.feed(garbage(random, termColumns, termRows));
      renderer.begin(out);
      ops += "resume ";
    }
    const bool sameSize = termColumns == s.columns && termRows == s.rows;
    const long kept = std::min<long>(grid.scrolledOffCount(), grid.scrollLogCapacity());
    if (sameSize) {
      for (long i = 0; i < kept; ++i) {
        const auto row = grid.scrolledOffRow(i);
        scrolledOff.emplace_back(row.begin(), row.end());
      }
    }

    renderer.render(grid, out);
    grid.clearChanges();
    long lineFeeds = 0;
    const std::string badBytes = checkBytes(out, lineFeeds);
    term.feed(out);
    out.clear();

    const std::string where =
        "seed " + std::to_string(s.seed) + ", step " + std::to_string(step) + " (" + ops + ")";
    ASSERT_EQ(badBytes, "") << where;
    if (sameSize && !s.resizes) {
      ASSERT_EQ(lineFeeds, kept) << where << ": one line feed per row scrolled off";
    }
    const std::string mismatch = compareScreens(grid, term);
    ASSERT_EQ(mismatch, "") << where << "\ngrid:\n"
                            << gridText(grid) << "terminal:\n"
                            << term.dump();
    if (s.resizes || !sameSize) continue;  // only rows of the grid's width are compared
    const auto& pushed = term.scrollbackCells();
    ASSERT_EQ(pushed.size(), scrolledOff.size()) << where;
    for (std::size_t i = 0; i < pushed.size(); ++i) {
      for (int c = 0; c < s.columns; ++c) {
        const std::string why = differences(pushed[i][std::size_t(c)], scrolledOff[i][c]);
        ASSERT_EQ(why, "") << where << ": scrollback row " << i << ", column " << c;
      }
    }
    term.clearScrollback();
    scrolledOff.clear();
  }
}

TEST(RendererDifferential, SameSizeAsTheGrid) {
  const Scenario scenarios[] = {
      {1, 80, 25, 80, 25, 1024, 600, false},   {2, 80, 25, 80, 25, 1024, 600, false},
      {3, 1, 1, 1, 1, 16, 1500, false},        {4, 3, 2, 3, 2, 16, 1500, false},
      {5, 132, 50, 132, 50, 1024, 300, false}, {6, 7, 5, 7, 5, 4, 1500, false},
      {7, 80, 25, 80, 25, 30, 400, false},  // a log smaller than a flood of lines
  };
  for (const Scenario& s : scenarios) run(s);
}

TEST(RendererDifferential, TerminalOfAnotherSize) {
  const Scenario scenarios[] = {
      {11, 80, 25, 30, 7, 1024, 800, false},    // smaller: the part that holds the cursor
      {12, 80, 25, 100, 30, 1024, 400, false},  // larger: black around the grid
      {13, 80, 25, 1, 1, 1024, 800, false},    {14, 80, 25, 80, 25, 1024, 1500, true},
      {15, 5, 3, 5, 3, 64, 1500, true},
  };
  for (const Scenario& s : scenarios) run(s);
}

TEST(Renderer, SendsOnlyWhatChanged) {
  ScreenGrid grid(80, 25, kBlank);
  Renderer renderer(80, 25);
  VtermScreen term(25, 80);
  std::string out;
  renderer.render(grid, out);
  grid.clearChanges();
  term.feed(out);

  out.clear();
  renderer.render(grid, out);
  EXPECT_EQ(out, "") << "nothing changed";

  grid.setCursor({10, 5});
  renderer.render(grid, out);
  grid.clearChanges();
  EXPECT_EQ(out, "\x1b[6;11H") << "a cursor move alone";
  term.feed(out);

  out.clear();
  grid.writeCell({40, 12}, {'x', 0x07});
  grid.writeCell({41, 12}, {'y', 0x07});
  renderer.render(grid, out);
  grid.clearChanges();
  EXPECT_LT(out.size(), 40u) << testing::PrintToString(out);
  term.feed(out);
  EXPECT_EQ(compareScreens(grid, term), "");
}

TEST(Renderer, EndHandsTheTerminalBack) {
  ScreenGrid grid(10, 4, {' ', 0x1F});
  grid.writeCell({0, 0}, {'a', 0x1F});
  grid.setCursor({9, 2});
  Renderer renderer(10, 4);
  VtermScreen term(4, 10);
  std::string out;
  renderer.begin(out);
  renderer.render(grid, out);
  term.feed(out + "\x1b[5;5H");  // the cursor somewhere else: end() puts it back
  out.clear();
  renderer.end(grid, out);
  term.feed(out);
  EXPECT_EQ(term.cursor().row, 2);
  EXPECT_EQ(term.cursor().col, 9);
  EXPECT_TRUE(term.cursor().visible);
  term.feed("xy");  // the terminal's own colours, and auto-wrap back on
  EXPECT_EQ(term.cell(2, 9).fg, -1);
  EXPECT_EQ(term.cell(2, 9).bg, -1);
  EXPECT_EQ(term.rowText(3), "y");
}

}  // namespace
}  // namespace qv
