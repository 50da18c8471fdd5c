// The renderer against a terminal emulator (libvterm, on the Linux host): whatever happens to the
// grid, after a render the terminal shows the same cells, colours and cursor, and its scrollback
// holds the rows that scrolled off, in order.
#include "console/terminal/renderer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "console/terminal/linux/renderer_run.h"
#include "console/terminal/teletype.h"
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

// Between enter() and leave() the numeric keypad is in application mode, so that its Enter is
// told from Ctrl-J. leave() hands the terminal back: the cursor shown where the console's stands,
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
  renderer.enter(out);
  grid.setCursor({9, 2});
  renderer.render(grid, out);
  term.feed(out + "\x1b[1;1H");  // the cursor somewhere else: leave() puts it back
  EXPECT_EQ(keypad(), "\x1bOq\x1bOk\x1bOM");
  out.clear();
  renderer.leave(grid, out);
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

// A listing on a 4-row terminal that grows to 6 and pulls two rows back from its scrollback:
// every row reaches the scrollback or the screen once, whether the window grew while the
// program ran (the cursor found below where it was) or while it was stopped between frames
// (the terminal's cursor still on the row the last frame wrote).
TEST(Renderer, RowsATerminalPullsBackAsItGrowsAreNotLost) {
  for (const bool stopped : {false, true}) {
    SCOPED_TRACE(stopped ? "stopped between frames" : "running");
    const ConsoleCell blank{' ', 0x07};
    ScreenGrid grid(10, 4, blank);
    Renderer renderer(10, 4);
    VtermScreen term(4, 10);
    const ConsoleRect whole{0, 0, 9, 3};
    std::string out, expected;
    renderer.enter(out);
    for (int n = 0; n < 10; ++n) {  // a row's text, a frame now and then, its line end
      const std::string text = "riga " + std::to_string(n);
      for (std::size_t x = 0; x < text.size(); ++x) {
        grid.writeCell({std::int16_t(x), 3}, {std::uint8_t(text[x]), 0x07});
      }
      expected += text + "|";
      grid.setCursor({0, 3});
      if (!stopped || n < 8) {
        renderer.render(grid, out);
        grid.clearChanges();
      }
      grid.scroll(whole, &whole, {0, -1}, blank);
    }
    term.feed(std::exchange(out, {}));
    term.resize(6, 10);
    const int leaving = stopped ? renderer.resume(grid, 10, 6, out)
                                : renderer.resize(10, 6, term.cursor().row, term.cursor().col);
    grid.resize(10, 6, blank, leaving);
    renderer.render(grid, out);
    term.feed(out);
    std::string shown;
    std::vector<std::string> rows = term.scrollbackText();
    for (int row = 0; row < term.rows(); ++row) rows.push_back(term.rowText(row));
    for (const std::string& row : rows) shown += row.empty() ? "" : row + "|";
    EXPECT_EQ(shown, expected) << term.dump();
  }
}

// A terminal without cursor addressing is written to as paper: each step puts one row's text
// and the cursor, then a frame goes out; at the end what was sent, and leave()'s line end.
TEST(TeletypeRenderer, WritesEachRowOnceAndErasesOnlyWhatChanged) {
  struct Step {
    int row;
    const char* text;
    int cursorColumn, cursorRow;
  };
  const struct {
    const char* what;
    std::vector<Step> steps;
    std::string sent;
  } cases[] = {
      {"a prompt ends with a line end", {{0, "=>", 2, 0}}, "=>\r\n"},
      {"typed, then erased", {{0, "=>ab", 4, 0}, {0, "=>", 2, 0}}, "=>ab\b \b\b \b\r\n"},
      {"a blank already written stays", {{0, "n: ", 3, 0}, {0, "n: ", 0, 1}}, "n: \r\n"},
      {"a row completed", {{0, "n: ", 3, 0}, {0, "n: 5", 0, 1}, {1, "ok", 2, 1}}, "n: 5\r\nok\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScreenGrid grid(10, 3, {' ', 0x07});
    TeletypeRenderer renderer;
    std::string out;
    renderer.enter(out);
    for (const Step& step : c.steps) {
      grid.fillCharacter(' ', grid.columns(), {0, std::int16_t(step.row)});
      for (int i = 0; step.text[i]; ++i) {
        grid.writeCell({std::int16_t(i), std::int16_t(step.row)},
                       {std::uint8_t(step.text[i]), 0x07});
      }
      grid.setCursor({std::int16_t(step.cursorColumn), std::int16_t(step.cursorRow)});
      renderer.render(grid, out);
    }
    renderer.leave(grid, out);
    EXPECT_EQ(out, c.sent);
  }
}

}  // namespace
}  // namespace qv
