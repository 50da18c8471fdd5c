// The convergence picture in a terminal's cells: correct decimals against the step, with the
// axes' labels and, under the chart, a legend line for each method. Where the terminal can show
// Unicode (a UTF-8 locale on a terminal that moves its cursor) the curves are braille dots, two
// by four to a cell; otherwise every point is the method's mark in plain ASCII. Each method has
// its own mark everywhere, and its own colour where the terminal has colours.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "picture/labels.h"

namespace qv::picture {

struct ChartTerminal {
  int columns = 80;
  int rows = 24;
  bool braille = false;  // braille dots, UTF-8 text; otherwise ASCII only
  // The sequences that select the colours of methods a, b and c, and the one back to the
  // terminal's own colours; all empty where it has none.
  std::string colours[3];
  std::string plain;
};

// The chart's lines, without line ends: at most rows - 1 of them (the last row stays for the
// shell's prompt), each at most columns - 1 cells wide.
std::vector<std::string> chartLines(std::span<const DrawnSeries> series,
                                    const ChartTerminal& terminal);

// Standard output as the chart sees it: the terminal's size, character set and colours, or a
// plain 80 by 24 ASCII chart for a file, a pipe or a terminal that cannot move its cursor.
ChartTerminal chartTerminal();

}  // namespace qv::picture
