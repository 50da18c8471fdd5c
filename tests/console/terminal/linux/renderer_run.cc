#include "console/terminal/linux/renderer_run.h"

#include <algorithm>
#include <vector>

#include "console/terminal/cp437.h"

namespace qv {
namespace {

// True when the terminal cell shows the grid cell. Console colour bit 0 is blue, the terminal's
// is red.
bool shows(const VtermCell& shown, ConsoleCell cell) {
  constexpr int terminalColour[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  const std::uint8_t a = cell.attribute;
  const char32_t glyph = shown.chars.empty() ? U' ' : shown.chars[0];
  return glyph == cp437CodePoint(cell.character) && shown.chars.size() <= 1 && !shown.reverse &&
         shown.fg == terminalColour[a & 7] + ((a & 0x08) ? 8 : 0) &&
         shown.bg == terminalColour[(a >> 4) & 7] + ((a & 0x80) ? 8 : 0);
}

// A cursor outside the grid stands at the grid's nearest cell.
std::string differenceOnScreen(const ScreenGrid& grid, const VtermScreen& term) {
  const VtermCursor cursor = term.cursor();
  const int top = std::clamp<int>(grid.cursor().y, 0, grid.rows() - 1) - cursor.row;
  const int left = std::clamp<int>(grid.cursor().x, 0, grid.columns() - 1) - cursor.col;
  const int rows = std::min(term.rows(), grid.rows());
  const int columns = std::min(term.cols(), grid.columns());
  if (!cursor.visible) return "cursor hidden";
  if (top < 0 || left < 0 || top > grid.rows() - rows || left > grid.columns() - columns) {
    return "the cursor puts the view outside the grid";
  }
  for (int r = 0; r < term.rows(); ++r) {
    for (int c = 0; c < term.cols(); ++c) {
      const bool inside = r < rows && c < columns;
      if (!shows(term.cell(r, c), inside ? grid.cell(left + c, top + r) : ConsoleCell{' ', 0})) {
        return "terminal cell " + std::to_string(r) + "," + std::to_string(c);
      }
    }
  }
  return {};
}

}  // namespace

RendererRun::RendererRun(const Sizes& sizes, Below below)
    : below_(std::move(below)),
      grid_(sizes.columns, sizes.rows, {' ', 0x07}, sizes.logRows),
      renderer_(sizes.terminalColumns, sizes.terminalRows),
      term_(sizes.terminalRows, sizes.terminalColumns) {
  renderer_.enter(out_);
  send();
}

void RendererRun::send() {
  term_.feed(out_);
  out_.clear();
}

const char* RendererRun::operate(bool terminalMayResize) {
  ScreenGrid& grid = grid_;
  const auto below = [this](int n) { return n < 2 ? 0 : below_(n); };
  const auto at = [](int v) { return std::int16_t(v); };
  const auto anyByte = [&] { return std::uint8_t(below(256)); };
  const auto anywhere = [&] {  // mostly inside the grid, sometimes just outside it
    return ConsoleCoord{at(below(grid.columns() + 2) - 1), at(below(grid.rows() + 2) - 1)};
  };
  const ConsoleRect whole{0, 0, at(grid.columns() - 1), at(grid.rows() - 1)};
  switch (below(14)) {
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
    case 3: {  // lines at the bottom, each scrolling the whole screen up by one; a flood at times
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
      grid.fillCharacter(anyByte(), below(grid.columns() * grid.rows() + 3) - 1, anywhere());
      return "fill characters";
    case 7:
      grid.fillAttribute(anyByte(), below(grid.columns() * grid.rows() + 3) - 1, anywhere());
      return "fill attributes";
    case 8:
      grid.scroll(whole, nullptr, {0, at(-1 - below(grid.rows()))}, {' ', anyByte()});
      return "scroll up";
    case 9:
      if (below(8)) {
        renderer_.invalidate();
        return "repaint";
      }
      renderer_.leave(grid, out_);  // suspended, and continued
      renderer_.enter(out_);
      send();
      return "suspend";
    case 10:
      if (!terminalMayResize || below(4)) break;
      resized_ = true;
      term_.resize(1 + below(grid.rows() + 5), 1 + below(grid.columns() + 10));
      if (below(2)) {  // the terminal told where its cursor went, as a terminal asked does
        renderer_.resize(term_.cols(), term_.rows(), term_.cursor().row, term_.cursor().col);
      } else {
        renderer_.resize(term_.cols(), term_.rows());
      }
      return "resize";
    case 11:
      if (below(6)) break;  // resumed after another program left colours, margins, text
      term_.feed("\x1b[1;7;35;42m\x1b[?7h\x1b[?25l\x1b[2;3r\x1b[" + std::to_string(term_.rows()) +
                 ";1H#@!");
      renderer_.enter(out_);
      send();
      return "resume";
  }
  grid.setCursor(anywhere());
  return "cursor";
}

std::string RendererRun::frame() {
  // libvterm keeps no row that a screen of one row scrolls away.
  const bool compareLog = !resized_ && term_.cols() == grid_.columns() &&
                          term_.rows() == grid_.rows() && grid_.rows() > 1;
  std::vector<std::vector<ConsoleCell>> scrolledOff;
  for (long i = 0;
       compareLog && i < std::min<long>(grid_.scrolledOffCount(), grid_.scrollLogCapacity()); ++i) {
    const auto row = grid_.scrolledOffRow(i);
    scrolledOff.emplace_back(row.begin(), row.end());
  }
  // The scrollback is kept for a while, so that a terminal that grows has rows to pull down.
  if (term_.scrollbackCells().size() > 200) term_.clearScrollback();
  const std::size_t before = term_.scrollbackCells().size();
  renderer_.render(grid_, out_);
  grid_.clearChanges();
  send();
  if (std::string difference = differenceOnScreen(grid_, term_); !difference.empty()) {
    return difference;
  }
  const auto& pushed = term_.scrollbackCells();
  if (compareLog && pushed.size() - before != scrolledOff.size()) {
    return std::to_string(pushed.size() - before) + " rows in the scrollback, " +
           std::to_string(scrolledOff.size()) + " left the grid";
  }
  for (std::size_t i = 0; compareLog && i < scrolledOff.size(); ++i) {
    for (int c = 0; c < grid_.columns(); ++c) {
      if (!shows(pushed[before + i][std::size_t(c)], scrolledOff[i][std::size_t(c)])) {
        return "scrollback row " + std::to_string(i) + ", column " + std::to_string(c);
      }
    }
  }
  return {};
}

std::string RendererRun::state() const {
  std::string text = "grid:\n";
  for (int y = 0; y < grid_.rows(); ++y) {
    text += std::to_string(y) + "|";
    for (ConsoleCell c : grid_.row(y)) text += cp437Glyph(c.character);
    text += "|\n";
  }
  return text + "cursor " + std::to_string(grid_.cursor().y) + "," +
         std::to_string(grid_.cursor().x) + "\nterminal:\n" + term_.dump();
}

}  // namespace qv
