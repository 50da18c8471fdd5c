// The dialogue on the kinds of terminal only the machine's terminfo tells apart (none named, one
// unknown, one without cursor addressing, which gets a teletype dialogue); the locale's character
// set is the one written and read, and under nohup the keys come from the terminal.
#include <fcntl.h>
#include <unistd.h>

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
    session.screen().feed("\x1b[1;31;42m");  // before any of the program's output is read
    ASSERT_TRUE(waitForMenu(session));
    const std::string& bytes = session.received();
    for (const char* sent : {"\x1b=", "\x1b[?7l"}) EXPECT_NE(bytes.find(sent), std::string::npos);
    // The cursor keys' application mode only where the description has it.
    EXPECT_EQ(bytes.find("\x1b[?1h") != std::string::npos, c.term == std::string("xterm-256color"));
    EXPECT_EQ(bytes.find("\x1b[92m") != std::string::npos, c.colours);
    const std::regex colour("\x1b\\[([0-9]*;)*(3[0-9]|4[0-9]|9[0-7]|10[0-7])(;[0-9]*)*m");
    EXPECT_EQ(std::regex_search(bytes, colour), c.colours);
    for (int row = 0; !c.colours && row < screenRows; ++row) {
      for (int column = 0; column < screenColumns; ++column) {
        const VtermCell cell = session.screen().cell(row, column);
        ASSERT_TRUE(cell.fg == -1 && cell.bg == -1) << row << "," << column;
      }
    }
    session.sendLine("x");
    ASSERT_TRUE(waitForExitQuestion(session, "=>x"));
    session.sendLine("esci");
    EXPECT_TRUE(endsAsFound(session, Ending::code(0)));
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
// dialogue's rows each written once as a line, a cleared screen an empty line, Backspace
// erasing with backspace, blank, backspace (an erase up to the row above, which paper cannot
// take back, prints the line again below), and Left ignored; a whole dialogue works.
TEST(TerminalKinds, ADumbTerminalGetsATeletypeDialogueWithoutEscapeSequences) {
  PtySession session(withTerm("dumb"));
  const auto printed = [&session](const std::string& text, std::size_t banners = 1) {
    return session.waitFor(
        [&](const VtermScreen&) {
          const std::string& bytes = session.received();
          std::size_t count = 0;
          for (auto at = bytes.find(banner); at != std::string::npos;
               at = bytes.find(banner, at + 1))
            ++count;
          return count == banners && bytes.ends_with(text);
        },
        text);
  };
  ASSERT_TRUE(printed("\r\n=>"));
  session.sendLine("c");
  ASSERT_TRUE(printed(elementsPrompt + "\r\n"));
  session.sendLine("5");
  ASSERT_TRUE(printed(ratioPause));
  session.sendLine("");
  ASSERT_TRUE(printed(exitQuestion + "\r\n=>"));
  session.sendLine("");
  ASSERT_TRUE(printed("\r\n=>", 2));
  session.sendLine("a");
  ASSERT_TRUE(printed(repetitionsPrompt + "\r\n", 2));
  session.sendLine("2");
  ASSERT_TRUE(printed(exitQuestion + "\r\n=>", 2));
  const auto lastLine = [&session](const std::string& text) {
    return session.waitFor(
        [&](const VtermScreen&) { return printedLines(session.received()).back() == text; }, text);
  };
  session.send(std::string(85, 'x') + std::string(10, '\x7f'));  // wrapped at 80, back a row
  ASSERT_TRUE(lastLine(std::string(75, 'x')));
  session.send(
      "\x19"
      "escx");  // Ctrl-Y
  ASSERT_TRUE(lastLine("escx"));
  session.send("\x7f\x1b[Di\r");
  EXPECT_TRUE(endsAsFound(session, Ending::code(0)));

  EXPECT_EQ(session.received().find('\x1b'), std::string::npos);
  std::vector<Row> body = {{"Sequenza di Fibonacci fino al 5esimo elemento:", {}},
                           {"1  1  2  3  5", {}},
                           {},
                           {ratioPause, {}},
                           {}};
  for (const Row& row : iterateRows(
           {"1.000000000000000", "2.000000000000000", "1.500000000000000", "1.666666666666667"})) {
    body.push_back(row);
  }
  std::vector<std::string> expected;
  for (const Row& row : passRows("c", "SEQUENZA DI FIBONACCI", elementsPrompt, "5", body)) {
    expected.push_back(row.text);
  }
  expected.push_back("");  // the cleared screen
  for (const Row& row : passRows("a", "FUNZIONE CONTINUA", repetitionsPrompt, "2",
                                 iterateRows({"2.000000000000000", "1.500000000000000"}))) {
    expected.push_back(row.text);
  }
  expected.back() = "=>" + std::string(78, 'x');
  expected.push_back("esci");
  expected.push_back("");
  EXPECT_EQ(printedLines(session.received()), expected) << session.received();
}

// In an ISO-8859-1 locale a typed ä, è and Tab echo as that set's bytes (the Tab's glyph, a
// circle, as its ASCII stand-in); in the C locale bytes beyond ASCII are neither read nor
// written. Nothing outside the set reaches the terminal either way.
TEST(TerminalKinds, TheLocalesCharacterSetIsTheOneWrittenAndRead) {
  char folder[] = "/tmp/qv-locale-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string latin1 = "de_DE.ISO-8859-1";
  ASSERT_EQ(std::system(("localedef -i de_DE -f ISO-8859-1 " + std::string(folder) + "/" + latin1 +
                         " 2>/dev/null")
                            .c_str()),
            0);
  const struct {
    std::string locale, typed, echoed;
    unsigned char firstForbidden, lastForbidden;
  } cases[] = {{latin1, "\xE4\xE8\t", "\xE4\xE8o", 0x80, 0x9F},
               {"C", "\xC3\xA4\xC3\xA8\t", "o", 0x80, 0xFF}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    PtyOptions options;
    options.environment = {"LANG=" + c.locale, "LOCPATH=" + std::string(folder)};
    PtySession session(options);
    ASSERT_TRUE(waitForMenu(session));
    const std::size_t before = session.received().size();
    session.send(c.typed);
    ASSERT_TRUE(session.waitFor(
        [&](const VtermScreen&) {
          // In order, though a slow machine may send them in frames of their own.
          std::size_t at = before;
          for (const char echoed : c.echoed) {
            at = session.received().find(echoed, at);
            if (at == std::string::npos) return false;
            ++at;
          }
          return true;
        },
        "the echo"));
    session.sendLine("");
    ASSERT_TRUE(waitForExitQuestion(session, exitQuestion));
    session.sendLine("esci");
    EXPECT_TRUE(endsAsFound(session, Ending::code(0)));
    for (const char byte : session.received()) {
      const auto b = static_cast<unsigned char>(byte);
      ASSERT_FALSE(b >= c.firstForbidden && b <= c.lastForbidden) << int(b);
    }
  }
  std::system(("rm -rf " + std::string(folder)).c_str());
}

// Where the terminal draws glyphs of ambiguous width two cells wide (xterm -cjk_width), the one
// drawn at the start leaves its cursor a column further: from then on è, ° and the Tab's
// circle are drawn as e, o, o, so that every cell stays in its column.
TEST(TerminalKinds, GlyphsOfAmbiguousWidthAreNarrowWhereTheTerminalDrawsThemWide) {
  const struct {
    const char *answer, *echoed;
  } cases[] = {{"\x1b[25;2R", "=>è°○x"}, {"\x1b[25;3R", "=>eoox"}};
  for (const auto& c : cases) {
    PtySession session;
    session.holdAnswers(true);  // the emulator's own answer would say one cell
    ASSERT_TRUE(waitForMenu(session));
    session.send(std::string(c.answer) + "è°\tx");
    EXPECT_TRUE(session.waitForText(c.echoed));
  }
}

// nohup leaves standard input open for writing only and sends standard output to nohup.out:
// the dialogue is drawn on the terminal, and the keys come from there too.
TEST(TerminalKinds, UnderNohupTheKeysComeFromTheTerminal) {
  char folder[] = "/tmp/qv-nohup-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  PtyOptions options;
  options.program = "/usr/bin/nohup";
  options.arguments = targetCommand(programPath());
  options.inChild = [&folder] {
    // One descriptor of the terminal stays open: with none, once nohup has replaced all three,
    // the test would take the terminal for closed before the program opens /dev/tty.
    fcntl(STDIN_FILENO, F_DUPFD, 10);
    [[maybe_unused]] const int ignored = chdir(folder);
  };
  PtySession session(options);
  ASSERT_TRUE(startMethod(session, "a", repetitionsPrompt, "2"));
  ASSERT_TRUE(waitForExitQuestion(session, "phi~= 1.500000000000000"));
  session.sendLine("esci");
  EXPECT_TRUE(endsAsFound(session, Ending::code(0)));
  std::system(("rm -rf " + std::string(folder)).c_str());
}

}  // namespace
}  // namespace qv::e2e
