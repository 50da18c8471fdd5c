// The renderer against a terminal emulator (libvterm, on the Linux host): whatever happens to the
// grid, after a render the terminal shows the same cells, colours and cursor, and its scrollback
// holds the rows that scrolled off, in order; and every code page glyph takes one cell.
#include "console/terminal/renderer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "console/terminal/cp437.h"
#include "console/terminal/linux/renderer_run.h"
#include "support/vterm_screen.h"

namespace qv {
namespace {

struct Scenario {
  unsigned seed;
  RendererRun::Sizes sizes;
  int frames;
  bool resizes;  // the terminal changes size now and then
};

void run(const Scenario& s) {
  std::mt19937 random(s.seed);
  RendererRun renderer(s.sizes, [&](int n) { return int(random() % unsigned(n)); });
  for (int frame = 0; frame < s.frames; ++frame) {
    std::string operations;
    for (int i = 0, n = 1 + int(random() % 4); i < n; ++i) {
      operations += std::string(renderer.operate(s.resizes)) + " ";
    }
    ASSERT_EQ(renderer.frame(), "")
        << "seed " << s.seed << ", frame " << frame << " (" << operations << ")\n"
        << renderer.state();
  }
}

TEST(RendererDifferential, RandomGridOperationsShowTheSameOnTheTerminal) {
  // 7: a log smaller than a flood of lines; 11, 13: a smaller terminal shows the part that
  // holds the cursor; 12: a larger one shows black around the grid; 14, 15: it changes size.
  const Scenario scenarios[] = {
      {1, {80, 25, 80, 25, 1024}, 600, false},   {3, {1, 1, 1, 1, 16}, 1500, false},
      {4, {3, 2, 3, 2, 16}, 1500, false},        {5, {132, 50, 132, 50, 1024}, 300, false},
      {7, {80, 25, 80, 25, 30}, 400, false},     {11, {80, 25, 30, 7, 1024}, 800, false},
      {12, {80, 25, 100, 30, 1024}, 400, false}, {13, {80, 25, 1, 1, 1024}, 800, false},
      {14, {80, 25, 80, 25, 1024}, 1500, true},  {15, {5, 3, 5, 3, 64}, 1500, true}};
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
