// An invalid number at a prompt for n: exit code 106 and the run-time error report, on the
// terminal in its own colours, or in the file that standard output was redirected to.
#include <regex>
#include <string>
#include <vector>

#include "support/e2e_dialogue.h"

namespace qv::e2e {
namespace {

const std::string invalidNumber = "12abc";
const int invalidNumberError = 106;

// From the menu to the prompt for n of the method chosen with `letter`, then the bad number.
testing::AssertionResult typeInvalidNumber(PtySession& session, const char* letter,
                                           std::string_view prompt) {
  if (auto menu = waitForMenu(session); !menu) return menu;
  session.sendLine(letter);
  if (auto below = waitForAnswerBelow(session, prompt); !below) return below;
  session.sendLine(invalidNumber);
  return testing::AssertionSuccess();
}

bool isVisible(const VtermCell& cell) {
  return !cell.chars.empty() && cell.chars != U" ";
}

TEST(RunErrorReport, InvalidNumberEndsWith106AndTheReportInTheTerminalsOwnColours) {
  struct Case {
    const char* letter;
    std::string_view prompt;
  };
  const Case cases[] = {{"a", repetitionsPrompt}, {"c", elementsPrompt}};
  const std::regex firstLine("Runtime error 106 at 0x([0-9A-F]{8})");
  const std::regex frameLine("  0x[0-9A-F]{8}");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.letter);
    PtySession session(programOptions());
    ASSERT_TRUE(typeInvalidNumber(session, c.letter, c.prompt));
    EXPECT_TRUE(endsWith(session, invalidNumberError));

    const std::vector<CellRow> rows = everyRow(session.screen());
    const int typed = lastRowWithText(rows, invalidNumber);
    ASSERT_GE(typed, 0) << session.report();
    ASSERT_GE(rows.size(), std::size_t(typed) + 5) << session.report();
    auto line = [&](int offset) { return textOf(rows[std::size_t(typed + offset)]); };
    std::smatch address;
    const std::string report = line(1);
    ASSERT_TRUE(std::regex_match(report, address, firstLine)) << session.report();
    EXPECT_EQ(line(2), "  0x" + address[1].str()) << session.report();
    EXPECT_TRUE(std::regex_match(line(3), frameLine)) << session.report();
    EXPECT_EQ(line(4), "") << session.report();
    EXPECT_FALSE(session.screen().contains(exitQuestion)) << "the method must not run";
    for (int offset = 1; offset <= 3; ++offset) {
      for (const VtermCell& cell : rows[std::size_t(typed + offset)]) {
        if (!isVisible(cell)) continue;
        ASSERT_EQ(cell.fg, int(Ink::terminalDefault)) << "report line " << offset << "\n"
                                                      << session.report();
        ASSERT_EQ(cell.bg, -1) << "report line " << offset << "\n" << session.report();
      }
    }
  }
}

TEST(RunErrorReport, WithStandardOutputInAFileTheDialogueStaysOnTheTerminal) {
  TemporaryFile output;
  ASSERT_FALSE(output.path().empty());
  PtySession session(programWithStandardOutputIn(output.path()));
  ASSERT_TRUE(typeInvalidNumber(session, "a", repetitionsPrompt));
  EXPECT_TRUE(endsWith(session, invalidNumberError));

  EXPECT_FALSE(session.screen().contains("Runtime error")) << session.report();
  EXPECT_TRUE(session.screen().contains("=>a")) << session.report();
  const std::string written = output.contents();
  // The frame lines of a file are not cut at nine, but a failure in the menu loop has one.
  const std::regex wholeReport(
      "Runtime error 106 at 0x([0-9A-F]{8})\r\n"
      "  0x\\1\r\n"
      "  0x[0-9A-F]{8}\r\n"
      "\r\n");
  EXPECT_TRUE(std::regex_match(written, wholeReport)) << "the file holds:\n"
                                                      << written << "\n"
                                                      << session.report();
}

}  // namespace
}  // namespace qv::e2e
