// The Fibonacci method: the elements line, the pause for Enter, the ratios and the closing line,
// for short runs, for the 32-bit wrap-around and for runs far longer than any fixed table.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
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

std::vector<std::string> elementsOf(const std::string& line) {
  std::vector<std::string> elements;
  std::istringstream in(line);
  for (std::string element; in >> element;) elements.push_back(element);
  return elements;
}

// The parts of one run, checked for their shape on the way.
struct FibonacciOutput {
  std::vector<std::string> elements;
  std::vector<std::string> ratios;
  std::string closing;
};

FibonacciOutput runFibonacci(std::int32_t n) {
  ChannelCapture capture;
  capture.typeLine("");
  approximateByFibonacci(n);
  EXPECT_EQ(capture.linesLeftToRead(), 0) << "the pause reads exactly one line";

  const auto& lines = capture.lines();
  EXPECT_GE(lines.size(), 6u);
  if (lines.size() < 6) return {};
  EXPECT_EQ(lines[0].text, header(n));
  EXPECT_EQ(lines[1].text.substr(lines[1].text.size() - 2), "  ")
      << "each element ends in two blanks";
  EXPECT_EQ(lines[2].text, "");
  EXPECT_EQ(lines[3].text, pauseText);
  EXPECT_EQ(lines[lines.size() - 2].text, "");
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_EQ(lines[i].colour, white);
  EXPECT_EQ(lines.back().colour, lightRed);
  EXPECT_EQ(capture.unfinishedLine(), "");

  FibonacciOutput output;
  output.elements = elementsOf(lines[1].text);
  for (std::size_t i = 4; i + 2 < lines.size(); ++i) output.ratios.push_back(lines[i].text);
  output.closing = lines.back().text;
  return output;
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
// than a value that was never computed. The header still shows n as typed.
TEST(Fibonacci, ShortRunsStillListTwoElementsAndPause) {
  for (std::int32_t n : {2, 1, 0, -3, INT32_MIN}) {
    SCOPED_TRACE(n);
    const FibonacciOutput output = runFibonacci(n);
    EXPECT_THAT(output.elements, ElementsAre("1", "1"));
    if (n == 2) {
      EXPECT_THAT(output.ratios, ElementsAre("1.000000000000000"));
    } else {
      EXPECT_THAT(output.ratios, ElementsAre());
    }
    EXPECT_EQ(output.closing, "phi~= 1.000000000000000");
  }
}

struct WrapCase {
  std::int32_t n;
  const char* lastElement;
  const char* lastRatio;
};

// Entry 46 is the last that fits; from 47 on the sums wrap around modulo 2^32. Past 60 the
// sequence simply goes on the same way.
TEST(Fibonacci, ElementsWrapAroundAndTheRatiosFollow) {
  const WrapCase cases[] = {
      {46, "1836311903", "1.618033988749895"},
      {47, "-1323752223", "-0.720875479180510"},
      {60, "1820529360", "-1.724507135118218"},
      {61, "764848393", "0.420124173663423"},
  };
  for (const WrapCase& c : cases) {
    SCOPED_TRACE(c.n);
    const FibonacciOutput output = runFibonacci(c.n);
    ASSERT_EQ(output.elements.size(), static_cast<std::size_t>(c.n));
    ASSERT_EQ(output.ratios.size(), static_cast<std::size_t>(c.n) - 1);
    EXPECT_EQ(output.elements.back(), c.lastElement);
    EXPECT_EQ(output.ratios.back(), c.lastRatio);
    EXPECT_EQ(output.closing, std::string("phi~= ") + c.lastRatio);
    EXPECT_EQ(loopIndex, c.n);
  }
}

// Far beyond any table of fixed size: no memory is overrun (the sanitizer build watches), and
// the wrapped sequence is the same as computed independently here.
TEST(Fibonacci, RunsFarLongerThanAnyTable) {
  constexpr std::int32_t n = 100000;
  const FibonacciOutput output = runFibonacci(n);
  ASSERT_EQ(output.elements.size(), static_cast<std::size_t>(n));
  ASSERT_EQ(output.ratios.size(), static_cast<std::size_t>(n) - 1);

  std::uint64_t previous = 1, current = 1;
  for (std::size_t i = 2; i < output.elements.size(); ++i) {
    const std::uint64_t next = (previous + current) % (std::uint64_t{1} << 32);
    previous = current;
    current = next;
    const auto expected = static_cast<std::int64_t>(current) - (current >> 31 ? (1LL << 32) : 0);
    ASSERT_EQ(output.elements[i], std::to_string(expected)) << "element " << i + 1;
  }
  EXPECT_EQ(output.elements.back(), "873876091");
  EXPECT_EQ(output.ratios.back(), "-4.493359107618633");
  EXPECT_EQ(output.closing, "phi~= -4.493359107618633");
}

TEST(Fibonacci, TextTypedAtThePauseIsDropped) {
  ChannelCapture capture;
  capture.typeLine("12 and more");
  capture.typeLine("77");
  approximateByFibonacci(3);
  EXPECT_EQ(capture.linesLeftToRead(), 1);
  const std::int32_t next = readInteger(standardInput);
  EXPECT_EQ(ioResult, 0);
  EXPECT_EQ(next, 77);
}

}  // namespace
}  // namespace qv
