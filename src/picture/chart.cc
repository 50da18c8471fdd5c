#include "picture/chart.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace qv::picture {

namespace {

constexpr char marks[] = {'*', '+', 'o'};
constexpr int leftMargin = 3;  // "16|"

int indexOf(char method) {
  return method >= 'a' && method <= 'c' ? method - 'a' : 0;
}

struct Cell {
  std::string glyph = " ";
  int colour = -1;  // the method's index; -1: the terminal's own
};

using Row = std::vector<Cell>;

std::string utf8(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
  return out;
}

void put(Row& row, int column, std::string_view text, int colour = -1) {
  for (char c : text) {
    if (column >= 0 && column < int(row.size())) row[column] = {std::string(1, c), colour};
    ++column;
  }
}

std::string serialize(const Row& row, const ChartTerminal& terminal) {
  std::size_t used = row.size();
  while (used > 0 && row[used - 1].glyph == " ") --used;
  std::string out;
  int current = -1;
  for (std::size_t i = 0; i < used; ++i) {
    const int wanted = terminal.colours[0].empty() ? -1 : row[i].colour;
    if (wanted != current) {
      if (current != -1) out += terminal.plain;
      if (wanted != -1) out += terminal.colours[wanted];
      current = wanted;
    }
    out += row[i].glyph;
  }
  if (current != -1) out += terminal.plain;
  return out;
}

// The dots of a braille cell, column by column from the top: bits of U+2800.
constexpr std::uint8_t brailleDot[2][4] = {{0x01, 0x02, 0x04, 0x40}, {0x08, 0x10, 0x20, 0x80}};

}  // namespace

std::vector<std::string> chartLines(std::span<const DrawnSeries> series,
                                    const ChartTerminal& terminal) {
  const int width = std::max(terminal.columns - 1, 20);
  const int plotColumns = width - leftMargin;
  const int lineCount = std::max(terminal.rows - 1, 8);
  const int plotRows = std::max(lineCount - 3 - int(series.size()), 3);
  const int dotsAcross = terminal.braille ? 2 : 1, dotsDown = terminal.braille ? 4 : 1;
  const int pixelColumns = plotColumns * dotsAcross, pixelRows = plotRows * dotsDown;

  std::int32_t lastStep = 1;
  bool logarithmic = false;
  for (const DrawnSeries& s : series) {
    lastStep = std::max(lastStep, s.series->lastStep());
    logarithmic = logarithmic || s.series->logarithmicSteps();
  }
  auto pixelColumn = [&](double step) {
    if (lastStep <= 1) return 0;
    const double at = logarithmic ? std::log(step) / std::log(double(lastStep))
                                  : (step - 1) / double(lastStep - 1);
    return std::clamp(int(std::lround(at * (pixelColumns - 1))), 0, pixelColumns - 1);
  };
  auto pixelRow = [&](double distance) {
    const double at = correctDecimals(distance) / exactDecimals();
    return std::clamp(int(std::lround((1 - at) * (pixelRows - 1))), 0, pixelRows - 1);
  };

  std::vector<Row> plot(plotRows, Row(plotColumns));
  std::vector<std::uint8_t> dots(std::size_t(plotRows) * plotColumns, 0);
  for (const DrawnSeries& s : series) {
    const int colour = indexOf(s.series->method());
    const std::string mark(1, marks[colour]);
    auto dot = [&](int x, int y) {
      Cell& cell = plot[y / dotsDown][x / dotsAcross];
      if (!terminal.braille) {
        cell = {mark, colour};
        return;
      }
      if (cell.glyph.size() == 1 && cell.glyph != " ") return;  // a mark stays
      std::uint8_t& bits = dots[std::size_t(y / dotsDown) * plotColumns + x / dotsAcross];
      bits |= brailleDot[x % 2][y % 4];
      cell = {utf8(0x2800 + bits), colour};
    };
    int previousX = -1, previousY = -1;
    int markedColumn = -100;
    for (const Column& c : s.series->columns()) {
      const int x = pixelColumn(c.firstStep);
      const int top = pixelRow(c.nearest), bottom = pixelRow(c.farthest);
      for (int y = top; y <= bottom; ++y) dot(x, y);
      // Braille curves are lines from each column to the next; marks stand alone.
      if (terminal.braille && previousX >= 0) {
        const int steps = std::max(std::abs(x - previousX), std::abs(top - previousY));
        for (int i = 1; i < steps; ++i) {
          dot(previousX + int(std::lround(double(x - previousX) * i / steps)),
              previousY + int(std::lround(double(top - previousY) * i / steps)));
        }
      }
      // Among the dots, the method's mark now and then: every tenth cell, each method on its
      // own cells, so that marks tell the curves apart without colour.
      const int cellColumn = x / dotsAcross;
      if (terminal.braille && cellColumn - markedColumn >= 10 && cellColumn % 10 == colour * 3) {
        plot[top / dotsDown][cellColumn] = {mark, colour};
        markedColumn = cellColumn;
      }
      previousX = x;
      previousY = top;
    }
  }

  std::vector<std::string> lines;
  Row title(width);
  std::string methods;
  for (const DrawnSeries& s : series) methods += s.series->method();
  std::string heading = "correct decimals of phi, methods " + methods +
                        ", n = " + integer(lastStep) + (logarithmic ? ", step on a log scale" : "");
  if (int(heading.size()) > width) {
    heading = "correct decimals, n = " + integer(lastStep) + (logarithmic ? ", log scale" : "");
  }
  put(title, 0, heading);
  lines.push_back(serialize(title, terminal));
  for (int r = 0; r < plotRows; ++r) {
    Row row(width);
    put(row, leftMargin - 1, "|");
    for (int d = 0; d <= 16; d += plotRows >= 9 ? 4 : 8) {
      const double at = d / exactDecimals();
      if (int(std::lround((1 - at) * (pixelRows - 1))) / dotsDown == r) {
        const std::string label = integer(d);
        put(row, leftMargin - 1 - int(label.size()), label);
      }
    }
    std::copy(plot[r].begin(), plot[r].end(), row.begin() + leftMargin);
    lines.push_back(serialize(row, terminal));
  }
  Row axis(width);
  put(axis, leftMargin - 1, "+" + std::string(plotColumns, '-'));
  lines.push_back(serialize(axis, terminal));

  // Step labels: 1 and n at the ends, the powers of ten (or a few steps) between, where they fit.
  Row ticks(width);
  int freeFrom = 0;
  auto tick = [&](std::int64_t step) {
    const std::string label = integer(step);
    const int at = leftMargin + std::min(pixelColumn(double(step)) / dotsAcross,
                                         plotColumns - int(label.size()));
    if (at < freeFrom) return;
    put(ticks, at, label);
    freeFrom = at + int(label.size()) + 1;
  };
  tick(1);
  std::vector<std::int64_t> between;
  if (logarithmic) {
    for (std::int64_t t = 10; t < lastStep; t *= 10) between.push_back(t);
  } else {
    for (std::int64_t t = 10; t < lastStep; t += 10) between.push_back(t);
  }
  for (std::int64_t t : between) {
    if (leftMargin + pixelColumn(double(t)) / dotsAcross + int(integer(t).size()) <
        leftMargin + pixelColumn(double(lastStep)) / dotsAcross - int(integer(lastStep).size()))
      tick(t);
  }
  if (lastStep > 1) tick(lastStep);
  lines.push_back(serialize(ticks, terminal));

  for (const DrawnSeries& s : series) {
    const int colour = indexOf(s.series->method());
    Row row(width);
    put(row, 0, std::string(1, marks[colour]), colour);
    std::string text = std::string(1, s.series->method()) + " " + std::string(s.name);
    std::string detail;
    if (!std::isnan(s.series->rate())) detail = fixed(s.series->rate(), 2) + " decimals/step";
    if (s.series->exactStep() != 0)
      detail += (detail.empty() ? "" : ", ") + std::string("exact from ") +
                integer(s.series->exactStep());
    if (s.series->wrapStep() != 0)
      detail +=
          (detail.empty() ? "" : ", ") + std::string("wraps at ") + integer(s.series->wrapStep());
    // A narrow window gets the rate alone.
    if (2 + int(text.size() + 2 + detail.size()) > width && !std::isnan(s.series->rate())) {
      detail = fixed(s.series->rate(), 2) + "/step";
    }
    put(row, 2, text + (detail.empty() ? "" : ": " + detail));
    lines.push_back(serialize(row, terminal));
  }
  return lines;
}

}  // namespace qv::picture
