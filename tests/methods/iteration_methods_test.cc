// The continued fraction and the nested radical: the printed iterates, the closing line and its
// colour, and the places where extended intermediates print other digits than plain doubles.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "methods/channel_capture.h"
#include "methods/methods.h"

namespace qv {
namespace {

using ::testing::ElementsAreArray;
using testsupport::ChannelCapture;

using Method = void (*)(std::int32_t);

const auto fraction = approximateByContinuedFraction;
const auto radicals = approximateByNestedRadicals;
const std::string phiText = "1.618033988749895";

// Every iterate in white, an empty line, then the closing line in light red; below one
// iteration only the closing line, with the starting value.
TEST(IterationRun, WritesEveryIterateThenTheClosingLineInLightRed) {
  struct Case {
    Method method;
    std::int32_t n;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {fraction,
       5,
       {"2.000000000000000", "1.500000000000000", "1.666666666666667", "1.600000000000000",
        "1.625000000000000", "", "phi~= 1.625000000000000"}},
      {fraction, 1, {"2.000000000000000", "", "phi~= 2.000000000000000"}},
      {fraction, 0, {"", "phi~= 1.000000000000000"}},
      {fraction, -7, {"", "phi~= 1.000000000000000"}},
      {fraction, INT32_MIN, {"", "phi~= 1.000000000000000"}},
      {radicals,
       5,
       {"1.000000000000000", "1.414213562373095", "1.553773974030037", "1.598053182478617",
        "1.611847754125252", "", "phi~= 1.611847754125252"}},
      {radicals, 1, {"1.000000000000000", "", "phi~= 1.000000000000000"}},
      {radicals, 0, {"", "phi~= 0.000000000000000"}},
      {radicals, -1, {"", "phi~= 0.000000000000000"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.method == fraction ? "fraction " : "radicals ") << c.n);
    ChannelCapture capture;
    c.method(c.n);
    EXPECT_THAT(capture.texts(), ElementsAreArray(c.lines));
    EXPECT_EQ(capture.unfinishedLine(), "");
    for (std::size_t i = 0; i + 1 < capture.lines().size(); ++i) {
      EXPECT_EQ(capture.lines()[i].colour, 15) << "line " << i + 1;
    }
    EXPECT_EQ(capture.lines().back().colour, 12);
    EXPECT_EQ(loopIndex, std::max(c.n, 1));
  }
}

// Plain double arithmetic would print ...706 and ...804 on lines 18 and 19 of the continued
// fraction, and ...895 on line 31 of the nested radical. Once at the double nearest phi, each
// iteration stays there for good.
TEST(IterationDigits, ShowTheExtendedIntermediatesThenSettleOnTheDoubleNearestPhi) {
  struct Case {
    Method method;
    std::int32_t n;
    std::vector<std::pair<int, std::string>> known;  // line, text
    int firstSettledLine;
  };
  const Case cases[] = {
      {fraction, 100, {{18, "1.618033963166707"}, {19, "1.618033998521803"}}, 37},
      {radicals, 50, {{31, "1.618033988749894"}}, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    ChannelCapture capture;
    c.method(c.n);
    const auto lines = capture.texts();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(c.n) + 2);
    for (const auto& [line, text] : c.known) EXPECT_EQ(lines[line - 1], text) << "line " << line;
    EXPECT_NE(lines[c.firstSettledLine - 2], phiText);
    for (int line = c.firstSettledLine; line <= c.n; ++line) {
      EXPECT_EQ(lines[line - 1], phiText) << "line " << line;
    }
    EXPECT_EQ(lines.back(), "phi~= " + phiText);
  }
}

}  // namespace
}  // namespace qv
