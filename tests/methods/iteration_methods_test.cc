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

constexpr std::uint8_t white = 15;
constexpr std::uint8_t lightRed = 12;
const std::string phiText = "1.618033988749895";

struct WholeRun {
  const char* name;
  Method method;
  std::int32_t n;
  std::vector<std::string> lines;
  std::int32_t loopIndexAfter;
};

class IterationRun : public ::testing::TestWithParam<WholeRun> {};

TEST_P(IterationRun, WritesEveryIterateThenTheClosingLineInLightRed) {
  const WholeRun& run = GetParam();
  ChannelCapture capture;
  run.method(run.n);

  EXPECT_THAT(capture.texts(), ElementsAreArray(run.lines));
  EXPECT_EQ(capture.unfinishedLine(), "");
  ASSERT_FALSE(capture.lines().empty());
  for (std::size_t i = 0; i + 1 < capture.lines().size(); ++i) {
    EXPECT_EQ(capture.lines()[i].colour, white) << "line " << i + 1;
  }
  EXPECT_EQ(capture.lines().back().colour, lightRed);
  EXPECT_EQ(loopIndex, run.loopIndexAfter);
}

const WholeRun wholeRuns[] = {
    {"ContinuedFractionFive",
     approximateByContinuedFraction,
     5,
     {"2.000000000000000", "1.500000000000000", "1.666666666666667", "1.600000000000000",
      "1.625000000000000", "", "phi~= 1.625000000000000"},
     5},
    {"ContinuedFractionOne",
     approximateByContinuedFraction,
     1,
     {"2.000000000000000", "", "phi~= 2.000000000000000"},
     1},
    {"ContinuedFractionZero",
     approximateByContinuedFraction,
     0,
     {"", "phi~= 1.000000000000000"},
     1},
    {"ContinuedFractionNegative",
     approximateByContinuedFraction,
     -7,
     {"", "phi~= 1.000000000000000"},
     1},
    {"ContinuedFractionMostNegative",
     approximateByContinuedFraction,
     INT32_MIN,
     {"", "phi~= 1.000000000000000"},
     1},
    {"NestedRadicalsFive",
     approximateByNestedRadicals,
     5,
     {"1.000000000000000", "1.414213562373095", "1.553773974030037", "1.598053182478617",
      "1.611847754125252", "", "phi~= 1.611847754125252"},
     5},
    {"NestedRadicalsOne",
     approximateByNestedRadicals,
     1,
     {"1.000000000000000", "", "phi~= 1.000000000000000"},
     1},
    {"NestedRadicalsZero", approximateByNestedRadicals, 0, {"", "phi~= 0.000000000000000"}, 1},
    {"NestedRadicalsNegative", approximateByNestedRadicals, -1, {"", "phi~= 0.000000000000000"}, 1},
};

INSTANTIATE_TEST_SUITE_P(Methods, IterationRun, ::testing::ValuesIn(wholeRuns),
                         [](const auto& info) { return std::string(info.param.name); });

// Plain double arithmetic would print ...706 and ...804 on lines 18 and 19 of the continued
// fraction, and ...895 on line 31 of the nested radical.
TEST(IterationDigits, ShowTheExtendedIntermediates) {
  ChannelCapture fraction;
  approximateByContinuedFraction(19);
  const auto fractionLines = fraction.texts();
  ASSERT_EQ(fractionLines.size(), 21u);
  EXPECT_EQ(fractionLines[17], "1.618033963166707");
  EXPECT_EQ(fractionLines[18], "1.618033998521803");

  ChannelCapture radicals;
  approximateByNestedRadicals(31);
  const auto radicalLines = radicals.texts();
  ASSERT_EQ(radicalLines.size(), 33u);
  EXPECT_EQ(radicalLines[30], "1.618033988749894");
  EXPECT_EQ(radicalLines[32], "phi~= 1.618033988749894");
}

// Once at the double nearest phi, each iteration stays there for good.
TEST(IterationDigits, SettleOnTheDoubleNearestPhi) {
  struct Tail {
    Method method;
    std::int32_t n;
    int firstSettledLine;
  };
  for (const Tail& tail :
       {Tail{approximateByContinuedFraction, 100, 37}, Tail{approximateByNestedRadicals, 50, 32}}) {
    SCOPED_TRACE(tail.n);
    ChannelCapture capture;
    tail.method(tail.n);
    const auto lines = capture.texts();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(tail.n) + 2);
    EXPECT_NE(lines[tail.firstSettledLine - 2], phiText);
    for (int line = tail.firstSettledLine; line <= tail.n; ++line) {
      EXPECT_EQ(lines[line - 1], phiText) << "line " << line;
    }
    EXPECT_EQ(lines.back(), "phi~= " + phiText);
  }
}

}  // namespace
}  // namespace qv
