// Outputs longer than the screen, read line by line through the terminal's scrollback and the
// screen: no row lost, doubled or out of order, each with its digits and its colour.
#include <cstdint>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "support/e2e_dialogue.h"
#include "textio/extended.h"

namespace qv::e2e {
namespace {

testing::AssertionResult rowIs(const std::vector<CellRow>& rows, int index, const Row& expected) {
  return rowsMatch(rows, index, std::span<const Row>(&expected, 1));
}

// The first n Fibonacci numbers as a 32-bit signed table holds them: wrapped, not checked.
std::vector<std::int32_t> wrappedFibonacci(int n) {
  std::vector<std::int32_t> elements = {1, 1};
  for (int i = 3; i <= n; ++i) {
    const std::uint32_t sum =
        std::uint32_t(elements[std::size_t(i - 2)]) + std::uint32_t(elements[std::size_t(i - 3)]);
    elements.push_back(static_cast<std::int32_t>(sum));
  }
  return elements;
}

// The quotient rounded to a double, then its correctly rounded 15-decimal text.
std::string ratioText(std::int32_t numerator, std::int32_t denominator) {
  const double ratio = static_cast<double>(Extended(numerator) / Extended(denominator));
  char text[64];
  std::snprintf(text, sizeof text, "%.15f", ratio);
  return text;
}

TEST(LongOutput, ContinuedFractionWithAHundredTermsKeepsEveryLine) {
  PtySession session(programOptions());
  ASSERT_TRUE(waitForMenu(session));
  session.sendLine("a");
  ASSERT_TRUE(waitForAnswerBelow(session, repetitionsPrompt));
  session.sendLine("100");
  ASSERT_TRUE(waitForExitQuestion(session, "phi~= 1.618033988749895"));

  const std::vector<CellRow> rows = everyRow(session.screen());
  const int title = lastRowWithText(rows, "FUNZIONE CONTINUA");
  ASSERT_GE(title, 0) << session.report();
  const int beforeFirst = title + 4;  // prompt, the typed 100, two empty lines
  EXPECT_TRUE(rowIs(rows, title + 2, {"100", Ink::white}));

  const std::regex iterate("[12]\\.[0-9]{15}");
  for (int line = 1; line <= 100; ++line) {
    const CellRow& row = rows.at(std::size_t(beforeFirst + line));
    ASSERT_TRUE(std::regex_match(textOf(row), iterate)) << "line " << line << ": " << textOf(row);
  }
  struct Known {
    int line;
    const char* text;
  };
  // The extended intermediate shows in lines 18 and 19.
  const Known known[] = {{1, "2.000000000000000"},  {2, "1.500000000000000"},
                         {3, "1.666666666666667"},  {5, "1.625000000000000"},
                         {18, "1.618033963166707"}, {19, "1.618033998521803"}};
  for (const Known& k : known) {
    EXPECT_TRUE(rowIs(rows, beforeFirst + k.line, {k.text, Ink::white})) << "line " << k.line;
  }
  for (int line = 37; line <= 100; ++line) {
    ASSERT_TRUE(rowIs(rows, beforeFirst + line, {"1.618033988749895", Ink::white}))
        << "line " << line;
  }
  const Row closing[] = {
      blankRow(), {"phi~= 1.618033988749895", Ink::lightRed}, blankRow(),         blankRow(),
      blankRow(), {std::string(exitQuestion), Ink::yellow},   {"=>", Ink::yellow}};
  EXPECT_TRUE(rowsMatch(rows, beforeFirst + 101, closing));
  EXPECT_EQ(rows.size(), std::size_t(beforeFirst + 101) + std::size(closing));

  session.sendLine("esci");
  EXPECT_TRUE(endsWith(session, 0));
}

TEST(LongOutput, FibonacciWithSixtyElementsWrapsItsListAndKeepsEveryRatio) {
  const int n = 60;
  const std::vector<std::int32_t> elements = wrappedFibonacci(n);
  std::string elementsLine;
  for (std::int32_t element : elements) elementsLine += std::to_string(element) + "  ";

  PtySession session(programOptions());
  ASSERT_TRUE(waitForMenu(session));
  session.sendLine("c");
  ASSERT_TRUE(waitForAnswerBelow(session, elementsPrompt));
  session.sendLine(std::to_string(n));
  ASSERT_TRUE(session.waitFor(
      [](const VtermScreen& s) {
        return s.rowText(s.cursor().row) == ratioPause && s.cursor().col == int(ratioPause.size());
      },
      "the pause before the ratios"));
  session.send("\r");
  ASSERT_TRUE(waitForExitQuestion(session, "phi~= -1.724507135118218"));

  std::vector<Row> expected = {{"Sequenza di Fibonacci fino al 60esimo elemento:", Ink::white}};
  for (const std::string& row : wrappedRows(elementsLine)) {
    expected.push_back({row, row.empty() ? std::nullopt : std::optional(Ink::white)});
  }
  expected.push_back(blankRow());
  expected.push_back({std::string(ratioPause), Ink::white});
  expected.push_back(blankRow());
  for (int i = 2; i <= n; ++i) {
    const std::size_t at = std::size_t(i - 1);
    expected.push_back({ratioText(elements[at], elements[at - 1]), Ink::white});
  }
  expected.push_back(blankRow());
  expected.push_back({"phi~= -1.724507135118218", Ink::lightRed});

  const std::vector<CellRow> rows = everyRow(session.screen());
  const int header = lastRowWithText(rows, expected.front().text);
  ASSERT_GE(header, 0) << session.report();
  EXPECT_TRUE(rowsMatch(rows, header, expected));
  // Two ratios from the table's wrapped part, read off the screen as the user would.
  const int firstRatio = header + int(expected.size()) - 2 - (n - 1);
  EXPECT_EQ(textOf(rows.at(std::size_t(firstRatio + 47 - 2))), "-0.720875479180510");
  EXPECT_EQ(textOf(rows.at(std::size_t(firstRatio + 60 - 2))), "-1.724507135118218");
  EXPECT_EQ(elements.back(), 1820529360);

  session.sendLine("esci");
  EXPECT_TRUE(endsWith(session, 0));
}

}  // namespace
}  // namespace qv::e2e
