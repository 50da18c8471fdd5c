// What the pictures say about a series in words and numbers: the one-line summary that a screen
// reader reads and the SVG's description carries, and the numbers on axes and in legends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "picture/convergence.h"

namespace qv::picture {

// A series with the name the menu gives its method ("funzione continua").
struct DrawnSeries {
  const ConvergenceSeries* series;
  std::string_view name;
};

// "a (funzione continua): 1.618033988749895 after 60 steps, 0.42 correct decimals a step,
// exact to the double from step 39." The value has the program's own 15 decimals.
std::string summaryLine(const DrawnSeries& drawn);

// "0.42 correct decimals a step" and what else there is to tell: from which step the series is
// exact to the double ("exact from step 39" when brief), where it wraps. Empty when nothing.
std::string legendDetail(const ConvergenceSeries& series, bool brief);

// value with the given number of decimals (0 to 3), rounded to nearest; locale-free.
std::string fixed(double value, int decimals);
std::string integer(std::int64_t value);

}  // namespace qv::picture
