// The Fibonacci method: the elements line, the pause for Enter, the ratios and the closing line,
// for short runs, for the 32-bit wrap-around and for runs far longer than any fixed table.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "methods/channel_capture.h"
#include "methods/methods.h"
#include "textio/io_result.h"
#include "textio/text_input.h"

namespace qv {
namespace {

using ::testing::ElementsAre;
using testsupport::ChannelCapture;

constexpr std::uint8_t white = 15;
constexpr std::uint8_t lightRed = 12;
const std::string pauseText = "Premi invio per calcolare phi dalla sequenza di Fibonacci...";

std::string header(std::int32_t n) {
  return "Sequenza di Fibonacci fino al " + std::to_string(n) + "esimo elemento:";
}

TEST(Fibonacci, SevenElementsGiveSixRatios) {
  ChannelCapture capture;
  capture.typeLine("");
  approximateByFibonacci(7);
  EXPECT_THAT(capture.texts(),
              ElementsAre(header(7), "1  1  2  3  5  8  13  ", "", pauseText, "1.000000000000000",
                          "2.000000000000000", "1.500000000000000", "1.666666666666667",
                          "1.600000000000000", "1.625000000000000", "", "phi~= 1.625000000000000"));
  EXPECT_EQ(loopIndex, 7);
}

// Below 2 no ratio exists: the closing line shows the first ratio of the sequence, 1, rather
// than a value that was never computed, and the header still shows n as typed. Entry 46 is the
// last that fits; from 47 on the sums wrap around modulo 2^32, and past 60 the sequence simply
// goes on the same way, far beyond any table of fixed size (the sanitizer build watches that no
// memory is overrun).
TEST(Fibonacci, ElementsWrapAroundAndTheRatiosFollow) {
  struct Case {
    std::int32_t n;
    std::size_t elementCount;
    const char* lastElement;
    const char* lastRatio;  // nullptr: no ratio at all
  };
  const Case cases[] = {
      {2, 2, "1", "1.000000000000000"},
      {1, 2, "1", nullptr},
      {0, 2, "1", nullptr},
      {-3, 2, "1", nullptr},
      {INT32_MIN, 2, "1", nullptr},
      {46, 46, "1836311903", "1.618033988749895"},
      {47, 47, "-1323752223", "-0.720875479180510"},
      {60, 60, "1820529360", "-1.724507135118218"},
      {61, 61, "764848393", "0.420124173663423"},
      {100000, 100000, "873876091", "-4.493359107618633"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    ChannelCapture capture;
    capture.typeLine("");
    approximateByFibonacci(c.n);
    EXPECT_EQ(capture.linesLeftToRead(), 0) << "the pause reads exactly one line";
    EXPECT_EQ(capture.unfinishedLine(), "");
    const auto& lines = capture.lines();
    const std::size_t ratioCount = c.lastRatio ? c.elementCount - 1 : 0;
    ASSERT_EQ(lines.size(), ratioCount + 6);
    EXPECT_EQ(lines[0].text, header(c.n));
    EXPECT_EQ(lines[2].text, "");
    EXPECT_EQ(lines[3].text, pauseText);
    EXPECT_EQ(lines[lines.size() - 2].text, "");
    const std::string closing = c.lastRatio ? c.lastRatio : "1.000000000000000";
    EXPECT_EQ(lines.back().text, "phi~= " + closing);
    EXPECT_EQ(lines[lines.size() - 3].text, c.lastRatio ? closing : pauseText);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_EQ(lines[i].colour, white) << i;
    EXPECT_EQ(lines.back().colour, lightRed);
    if (c.n >= 2) {
      EXPECT_EQ(loopIndex, c.n);
    }

    // Each element followed by two blanks, the sequence computed independently here.
    std::ostringstream expected;
    std::uint32_t previous = 0, current = 1;
    for (std::size_t i = 0; i < c.elementCount; ++i) {
      expected << static_cast<std::int32_t>(current) << "  ";
      current += std::exchange(previous, current);
    }
    ASSERT_EQ(lines[1].text, expected.str());
    EXPECT_TRUE(lines[1].text.ends_with(std::string(" ") + c.lastElement + "  "));
  }
}

// For scripts: the same lines but for the pause, and nothing is read.
TEST(Fibonacci, WithoutThePauseTheSameLinesFollowAndNothingIsRead) {
  std::vector<std::string> paused;
  {
    ChannelCapture capture;
    capture.typeLine("");
    approximateByFibonacci(7);
    paused = capture.texts();
  }
  ChannelCapture capture;
  capture.typeLine("42");
  approximateByFibonacciWithoutPause(7);
  EXPECT_EQ(capture.linesLeftToRead(), 1);
  ASSERT_EQ(paused[3], pauseText);
  paused.erase(paused.begin() + 3);
  EXPECT_EQ(capture.texts(), paused);
}

TEST(Fibonacci, TextTypedAtThePauseIsDropped) {
  ChannelCapture capture;
  capture.typeLine("12 and more");
  capture.typeLine("77");
  approximateByFibonacci(3);
  EXPECT_EQ(capture.linesLeftToRead(), 1);
  EXPECT_EQ(readInteger(standardInput), 77);
  EXPECT_EQ(ioResult, 0);
}

}  // namespace
}  // namespace qv
