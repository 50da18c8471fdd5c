// The dialogue on the kinds of terminal only the machine's terminfo tells apart: none named, one
// unknown, one without cursor addressing, which gets a teletype dialogue.
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "support/e2e_dialogue.h"

namespace qv::e2e {
namespace {

PtyOptions withTerm(const std::string& term, const std::string& noColour = "") {
  PtyOptions options;
  if (term.empty()) options.inChild = [] { unsetenv("TERM"); };
  if (!term.empty()) options.environment = {"TERM=" + term};
  if (!noColour.empty()) options.environment.push_back(noColour);
  return options;
}

// Where TERM is unset or names no description the program uses the xterm set, as it always
// did: the banner's light green is 92 and the keypad and auto-wrap strings are xterm's. Under
// NO_COLOR (set and not empty) not one colour goes out, so every cell shows in the terminal's
// own colours whatever the shell left. (What each description gives: the terminfo unit test.)
// Every row of a pass stands in its colour, and the shell's rows stay in the scrollback.
TEST(TerminalKinds, WithoutADescriptionTheXtermSetAndNoColourUnderNoColor) {
  const struct {
    const char* term;
    const char* noColour;
    bool colours;
  } cases[] = {{"", "", true},
               {"no-such-terminal", "", true},
               {"xterm-256color", "NO_COLOR=", true},
               {"xterm-256color", "NO_COLOR=1", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("TERM=") + c.term + " " + c.noColour);
    PtySession session(withTerm(c.term, c.noColour));
    session.screen().feed("\x1b[1;31;42m$ ls\r\n");  // before any of the program's output is read
    ASSERT_TRUE(startMethod(session, "a", repetitionsPrompt, "3"));
    ASSERT_TRUE(waitForExitQuestion(session, "phi~= 1.666666666666667"));
    const std::string& bytes = session.received();
    for (const char* sent : {"\x1b=", "\x1b[?7l"}) EXPECT_NE(bytes.find(sent), std::string::npos);
    // The cursor keys' application mode only where the description has it.
    EXPECT_EQ(bytes.find("\x1b[?1h") != std::string::npos, c.term == std::string("xterm-256color"));
    EXPECT_EQ(bytes.find("\x1b[92m") != std::string::npos, c.colours);
    const std::regex colour("\x1b\\[([0-9]*;)*(3[0-9]|4[0-9]|9[0-7]|10[0-7])(;[0-9]*)*m");
    EXPECT_EQ(std::regex_search(bytes, colour), c.colours);
    session.sendLine("esci");
    EXPECT_TRUE(endsAsFound(session, Ending::code(0)));
    std::vector<Row> rows =
        passRows("a", "FUNZIONE CONTINUA", repetitionsPrompt, "3",
                 iterateRows({"2.000000000000000", "1.500000000000000", "1.666666666666667"}));
    rows.back().text = "=>esci";
    for (Row& row : rows) row.ink = c.colours || !row.ink ? row.ink : Ink::terminalDefault;
    rows.insert(rows.begin(), Row{"$ ls", {}});
    EXPECT_TRUE(rowsFrom(session, 0, rows));
  }
}

// The rows a teletype shows, the way it shows them: carriage returns, line feeds and
// backspaces move along the paper.
std::vector<std::string> printedLines(const std::string& bytes) {
  std::vector<std::string> lines(1);
  std::size_t column = 0;
  for (const char c : bytes) {
    if (c == '\n') lines.emplace_back();
    if (c == '\r' || c == '\n') column = 0;
    if (c == '\b' && column > 0) --column;
    if (c == '\r' || c == '\n' || c == '\b') continue;
    std::string& line = lines.back();
    if (line.size() <= column) line.resize(column + 1, ' ');
    line[column++] = c;
  }
  for (std::string& line : lines) line.erase(line.find_last_not_of(' ') + 1);
  return lines;
}

// TERM=dumb (or any terminal without cursor addressing): not one escape sequence, the
// dialogue's rows each written once as a line, Backspace erasing with backspace, blank,
// backspace, and Left ignored; a whole dialogue works. In the C locale bytes beyond ASCII are
// neither read nor written. (Erasing on paper: the teletype renderer's unit test.)
TEST(TerminalKinds, ADumbTerminalGetsATeletypeDialogueWithoutEscapeSequences) {
  PtyOptions options = withTerm("dumb");
  options.environment.push_back("LANG=C");
  PtySession session(options);
  const auto printed = [&session](const std::string& text) {
    return session.waitFor([&](const VtermScreen&) { return session.received().ends_with(text); },
                           text);
  };
  ASSERT_TRUE(printed("\r\n=>"));
  session.sendLine("a");
  ASSERT_TRUE(printed(repetitionsPrompt + "\r\n"));
  session.sendLine("2");
  ASSERT_TRUE(printed(exitQuestion + "\r\n=>"));
  // Backspace erases the x; the ä of UTF-8 and Left are no keys here.
  session.send("escx\x7f\xC3\xA4\x1b[Di\r");
  EXPECT_TRUE(endsAsFound(session, Ending::code(0)));

  for (const char byte : session.received())
    ASSERT_TRUE(byte != '\x1b' && static_cast<unsigned char>(byte) < 0x80) << int(byte);
  std::vector<std::string> expected;
  for (const Row& row : passRows("a", "FUNZIONE CONTINUA", repetitionsPrompt, "2",
                                 iterateRows({"2.000000000000000", "1.500000000000000"}))) {
    expected.push_back(row.text);
  }
  expected.back() = "=>esci";
  expected.push_back("");
  EXPECT_EQ(printedLines(session.received()), expected) << session.received();
}

}  // namespace
}  // namespace qv::e2e
