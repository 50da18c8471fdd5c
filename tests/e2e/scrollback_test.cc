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

TEST(LongOutput, ContinuedFractionWithAHundredTermsKeepsEveryLine) {
  PtySession session;
  ASSERT_TRUE(startMethod(session, "a", repetitionsPrompt, "100"));
  ASSERT_TRUE(waitForExitQuestion(session, "phi~= 1.618033988749895"));

  const std::vector<CellRow> rows = everyRow(session.screen());
  const int beforeFirst = lastRowWithText(rows, "FUNZIONE CONTINUA") + 4;  // prompt, 100, 2 empty
  ASSERT_GE(beforeFirst, 4) << session.report();
  // Lines 18 and 19 show the extended intermediate; from 37 on each line is the double nearest
  // phi. The lines between are only checked for their shape: a lost or doubled line moves the
  // known ones and the closing rows.
  const std::vector<std::pair<int, std::string>> known = {
      {1, "2.000000000000000"}, {2, "1.500000000000000"},  {3, "1.666666666666667"},
      {5, "1.625000000000000"}, {18, "1.618033963166707"}, {19, "1.618033998521803"}};
  const std::regex iterate("[12]\\.[0-9]{15}");
  std::vector<Row> expected = {{"100", Ink::white}, {}, {}};
  for (int line = 1; line <= 100; ++line) {
    std::string text = line >= 37 ? "1.618033988749895" : textOf(rows.at(beforeFirst + line));
    for (const auto& [at, digits] : known) text = at == line ? digits : text;
    EXPECT_TRUE(std::regex_match(text, iterate)) << "line " << line << ": " << text;
    expected.push_back({text, Ink::white});
  }
  expected.insert(expected.end(), {{}, {"phi~= 1.618033988749895", Ink::lightRed}, {}, {}, {}});
  expected.insert(expected.end(), {{exitQuestion, Ink::yellow}, {"=>", Ink::yellow}});
  EXPECT_TRUE(rowsFrom(session, beforeFirst - 2, expected));
  session.sendLine("esci");
  EXPECT_TRUE(endsWith(session, 0));
}

TEST(LongOutput, FibonacciWithSixtyElementsWrapsItsListAndKeepsEveryRatio) {
  // The elements as a 32-bit signed table holds them: wrapped, not checked.
  std::vector<std::int32_t> elements = {1, 1};
  while (elements.size() < 60) {
    const std::size_t last = elements.size() - 1;
    elements.push_back(std::int32_t(std::uint32_t(elements[last]) + elements[last - 1]));
  }
  ASSERT_EQ(elements.back(), 1820529360);
  std::string elementsLine;
  for (std::int32_t element : elements) elementsLine += std::to_string(element) + "  ";

  PtySession session;
  ASSERT_TRUE(startMethod(session, "c", elementsPrompt, "60"));
  ASSERT_TRUE(waitForPause(session));
  session.send("\r");
  ASSERT_TRUE(waitForExitQuestion(session, "phi~= -1.724507135118218"));

  const std::string header = "Sequenza di Fibonacci fino al 60esimo elemento:";
  std::vector<Row> expected = {{header, Ink::white}};
  // 80 columns to a row; a list that fills its last row exactly wraps onto one more, empty.
  for (std::size_t start = 0; start <= elementsLine.size(); start += screenColumns) {
    std::string row = elementsLine.substr(start, screenColumns);
    row.erase(row.find_last_not_of(' ') + 1);
    expected.push_back({row, row.empty() ? std::nullopt : std::optional(Ink::white)});
  }
  expected.insert(expected.end(), {{}, {ratioPause, Ink::white}, {}});
  for (std::size_t i = 1; i < elements.size(); ++i) {
    // The quotient rounded to a double, then its correctly rounded 15-decimal text.
    char text[64];
    std::snprintf(text, sizeof text, "%.15f",
                  static_cast<double>(Extended(elements[i]) / Extended(elements[i - 1])));
    expected.push_back({text, Ink::white});
  }
  // Two ratios from the table's wrapped part, as the user reads them.
  EXPECT_EQ(expected[expected.size() - 60 + 47 - 1].text, "-0.720875479180510");
  EXPECT_EQ(expected.back().text, "-1.724507135118218");
  expected.insert(expected.end(), {{}, {"phi~= -1.724507135118218", Ink::lightRed}, {}, {}, {}});
  expected.insert(expected.end(), {{exitQuestion, Ink::yellow}, {"=>", Ink::yellow}});
  EXPECT_TRUE(rowsFrom(session, lastRowWithText(everyRow(session.screen()), header), expected));
  session.sendLine("esci");
  EXPECT_TRUE(endsWith(session, 0));
}

}  // namespace
}  // namespace qv::e2e
