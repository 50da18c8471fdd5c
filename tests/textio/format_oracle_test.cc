// Every value the three approximation methods print, checked against the C library's correctly
// rounded conversion. The iterates are recomputed here the way the methods compute them, so this
// test needs nothing but the conversion itself.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "textio/format_real.h"

namespace qv {
namespace {

constexpr int iterateCount = 100;
constexpr int fibonacciEntries = 60;

std::string programText(double value) {
  String255 text;
  formatReal(0, 15, value, 1, text, 255);
  return std::string(text.view());
}

std::string correctlyRounded(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.15f", value);
  return text;
}

// x := 1/x + 1 from 1, the sum rounded to double only when stored.
std::vector<double> continuedFractionIterates() {
  std::vector<double> iterates;
  double x = 1.0;
  for (int i = 0; i < iterateCount; ++i) {
    x = static_cast<double>(1.0L / static_cast<Extended>(x) + 1.0L);
    iterates.push_back(x);
  }
  return iterates;
}

// x := sqrt(x + 1) from 0, the root rounded to double only when stored.
std::vector<double> nestedRadicalIterates() {
  std::vector<double> iterates;
  double x = 0.0;
  for (int i = 0; i < iterateCount; ++i) {
    x = static_cast<double>(std::sqrt(static_cast<Extended>(x) + 1.0L));
    iterates.push_back(x);
  }
  return iterates;
}

// Entries 1 to 60 (index 0 unused), each sum wrapping around in 32 bits.
std::vector<std::int32_t> fibonacciTable() {
  std::vector<std::int32_t> entries(fibonacciEntries + 1, 0);
  entries[1] = entries[2] = 1;
  for (int i = 3; i <= fibonacciEntries; ++i) {
    entries[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(entries[i - 1]) +
                                           static_cast<std::uint32_t>(entries[i - 2]));
  }
  return entries;
}

// ratios[i] = F(i) / F(i-1) for i = 2..60, quotient in the extended format.
std::vector<double> fibonacciRatios() {
  const std::vector<std::int32_t> entries = fibonacciTable();
  std::vector<double> ratios(fibonacciEntries + 1, 0.0);
  for (int i = 2; i <= fibonacciEntries; ++i) {
    ratios[i] = static_cast<double>(static_cast<Extended>(entries[i]) /
                                    static_cast<Extended>(entries[i - 1]));
  }
  return ratios;
}

// Pins the iterate computations themselves: plain double arithmetic would print other digits.
TEST(FormatOracleTest, IteratesMatchTheKnownLines) {
  const std::vector<double> a = continuedFractionIterates();
  EXPECT_EQ(programText(a[2]), "1.666666666666667");
  EXPECT_EQ(programText(a[17]), "1.618033963166707");
  EXPECT_EQ(programText(a[18]), "1.618033998521803");
  EXPECT_EQ(a[38], 0x1.9e3779b97f4a8p+0);

  const std::vector<double> b = nestedRadicalIterates();
  EXPECT_EQ(programText(b[4]), "1.611847754125252");
  EXPECT_EQ(programText(b[30]), "1.618033988749894");
  EXPECT_EQ(programText(b[31]), "1.618033988749895");

  const std::vector<std::int32_t> entries = fibonacciTable();
  EXPECT_EQ(entries[46], 1836311903);
  EXPECT_EQ(entries[47], -1323752223);
  EXPECT_EQ(entries[60], 1820529360);
  const std::vector<double> ratios = fibonacciRatios();
  EXPECT_EQ(programText(ratios[47]), "-0.720875479180510");
  EXPECT_EQ(programText(ratios[51]), "3.716353903086681");
  EXPECT_EQ(programText(ratios[60]), "-1.724507135118218");
}

TEST(FormatOracleTest, EveryPrintedValueIsCorrectlyRounded) {
  struct Method {
    const char* name;
    std::vector<double> values;
  };
  std::vector<double> ratios = fibonacciRatios();
  ratios.erase(ratios.begin(), ratios.begin() + 2);
  const Method methods[] = {
      {"continued fraction", continuedFractionIterates()},
      {"nested radicals", nestedRadicalIterates()},
      {"Fibonacci ratios from i = 2", ratios},
      // The start values shown when no iterate is computed.
      {"start values", {0.0, 1.0}},
  };
  for (const Method& method : methods) {
    for (std::size_t i = 0; i < method.values.size(); ++i) {
      EXPECT_EQ(programText(method.values[i]), correctlyRounded(method.values[i]))
          << method.name << ", value " << i + 1 << ": " << std::hexfloat << method.values[i];
    }
  }
}

}  // namespace
}  // namespace qv
