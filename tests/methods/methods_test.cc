// The Fibonacci method as it writes: the elements line and the pause for Enter, the ratios, the
// closing line and its colour, and the sequence's 32-bit wrap-around, far beyond any fixed
// table. (Every digit of long runs of all three methods, where extended intermediates print
// other digits than plain doubles would, is pinned by the same-output test; their lines and
// colours as the dialogue shows them, by the end-to-end tests.)
#include "methods/methods.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "methods/channel_capture.h"

namespace qv {
namespace {

using testsupport::ChannelCapture;

constexpr std::uint8_t white = ChannelCapture::startColour;  // as the menu leaves it
constexpr std::uint8_t lightRed = 12;

const std::string pauseText = "Premi invio per calcolare phi dalla sequenza di Fibonacci...";

std::vector<std::uint8_t> coloursOf(const ChannelCapture& capture) {
  std::vector<std::uint8_t> colours;
  for (const auto& line : capture.lines()) colours.push_back(line.colour);
  return colours;
}

std::string header(std::int32_t n) {
  return "Sequenza di Fibonacci fino al " + std::to_string(n) + "esimo elemento:";
}

// The header, the elements each followed by two blanks, an empty line, the pause, the ratios of
// consecutive elements, an empty line and the closing line (the whole of seven elements stands
// on the screen of the dialogue's end-to-end test). Below 2 no ratio exists: the closing line
// shows the first ratio of the sequence, 1, rather than a value that was never computed, and
// the header still shows n as typed. Element 46 is the last that fits; from 47 on the sums wrap
// around modulo 2^32, and past 60 the sequence simply goes on the same way, far beyond any table
// of fixed size (the sanitizer build watches that no memory is overrun). A ratio of 10 or more
// keeps 16 significant digits: element 113 over element 112, -39.74599243616737..., prints
// -39.745992436167380.
TEST(Fibonacci, ElementsWrapAroundAndTheRatiosFollow) {
  struct Case {
    std::int32_t n;
    const char* lastElement;
    const char* lastRatio;  // nullptr: no ratio at all
  };
  const Case cases[] = {
      {3, "2", "2.000000000000000"},
      {2, "1", "1.000000000000000"},
      {1, "1", nullptr},
      {0, "1", nullptr},
      {-3, "1", nullptr},
      {INT32_MIN, "1", nullptr},
      {46, "1836311903", "1.618033988749895"},
      {47, "-1323752223", "-0.720875479180510"},
      {60, "1820529360", "-1.724507135118218"},
      {61, "764848393", "0.420124173663423"},
      {113, "-1225815811", "-39.745992436167380"},
      {100000, "873876091", "-4.493359107618633"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    ChannelCapture capture;
    capture.typeLine("");
    approximateByFibonacci(c.n);
    const std::vector<std::string> lines = capture.texts();
    const std::int32_t elements = std::max(c.n, 2);
    ASSERT_EQ(lines.size(), (c.lastRatio ? std::size_t(elements) - 1 : 0) + 6);
    EXPECT_EQ(lines[0], header(c.n));
    // Every element is followed by two blanks (all of them are pinned by the same-output test).
    EXPECT_EQ(std::count(lines[1].begin(), lines[1].end(), ' '), 2 * elements);
    EXPECT_TRUE(lines[1].ends_with(std::string(" ") + c.lastElement + "  "));
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], pauseText);
    const std::string closing = c.lastRatio ? c.lastRatio : "1.000000000000000";
    EXPECT_EQ(lines[lines.size() - 3], c.lastRatio ? closing : pauseText);
    EXPECT_EQ(lines.back(), "phi~= " + closing);
    const std::vector<std::uint8_t> colours = coloursOf(capture);
    EXPECT_EQ(colours.back(), lightRed);
    EXPECT_EQ(std::count(colours.begin(), colours.end(), white), std::ptrdiff_t(lines.size()) - 1);
  }
}

}  // namespace
}  // namespace qv
