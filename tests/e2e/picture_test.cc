// The convergence picture as the command draws it: the SVG document read back as XML, and the
// chart in a terminal's cells as a terminal emulator shows it.
#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "support/pty_session.h"

namespace qv {
namespace {

// Occurrences of the text in the document.
int countOf(const std::string& document, const std::string& text) {
  int count = 0;
  for (auto at = document.find(text); at != std::string::npos; at = document.find(text, at + 1))
    ++count;
  return count;
}

// One well-formed document for any n, of bounded size and with nothing that runs or loads:
// three series, each named in the legend with its rate; the Fibonacci wrap marked once it is
// reached.
TEST(Picture, SvgIsOneBoundedDocumentWithTitleDescriptionAndLegend) {
  for (const std::string n : {"60", "10000000"}) {
    SCOPED_TRACE(n);
    const DetachedRun run = runWithoutTerminal(programPath(), 120.0, {"--svg", "abc", n});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.stderrText, "");
    const std::string& svg = run.stdoutText;
    EXPECT_LT(svg.size(), 100u * 1024);
    xmlDoc* doc = xmlReadMemory(svg.data(), int(svg.size()), "picture.svg", nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    EXPECT_NE(doc, nullptr) << svg;
    xmlFreeDoc(doc);
    EXPECT_EQ(countOf(svg, "<polyline "), 3);
    EXPECT_EQ(countOf(svg, "<script") + countOf(svg, "href") + countOf(svg, "url("), 0);
    for (const std::string& shown : std::vector<std::string>{
             "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"",
             "<title>How close each step comes to phi: methods abc, n = " + n + "</title>",
             "a (funzione continua): 1.618033988749895 after " + n +
                 " steps, 0.42 correct decimals a step",
             ">a  funzione continua: 0.42", ">b  radici nidificate: 0.51",
             ">c  sequenza di Fibonacci: 0.42", "wraps at step 47", "correct decimals</text>"}) {
      EXPECT_NE(svg.find(shown), std::string::npos) << shown;
    }
  }
  // Before the wrap there is none to mark.
  EXPECT_EQ(
      countOf(runWithoutTerminal(programPath(), 10.0, {"--svg", "c", "40"}).stdoutText, "wrap"), 0);
}

// The chart fills the window it finds, braille in a UTF-8 locale, marks in ASCII elsewhere,
// each method in a colour of its own where the terminal has colours, and the legend under it.
TEST(Picture, PlotDrawsInTheTerminalsCellsAndCharacterSet) {
  const struct {
    int cols, rows;
    std::string locale, term;
    bool braille, colours;
  } cases[] = {
      {80, 25, "C.UTF-8", "xterm-256color", true, true},
      {40, 12, "C.UTF-8", "xterm-256color", true, true},
      {80, 25, "C", "xterm-256color", false, true},
      {80, 25, "C", "xterm", false, true},
      {80, 25, "C.UTF-8", "dumb", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.cols) + "x" + std::to_string(c.rows) + " " + c.locale + " " +
                 c.term);
    PtyOptions options;
    options.rows = c.rows;
    options.cols = c.cols;
    options.arguments = {"--plot", "abc", "60"};
    options.environment = {"LANG=" + c.locale, "TERM=" + c.term};
    PtySession session(options);
    ASSERT_TRUE(session.waitForExit());
    EXPECT_EQ(session.exitCode(), 0);
    const VtermScreen& screen = session.screen();
    // All of it on the screen: title on the first row, legend on the last three above the
    // cursor's row, nothing wider than the window.
    EXPECT_TRUE(screen.rowText(0).starts_with("correct decimals")) << screen.dump();
    EXPECT_EQ(screen.scrollbackText().size(), 0u) << screen.dump();
    const char* const legend[] = {"* a funzione continua", "+ b radici nidificate",
                                  "o c sequenza di Fibonacci"};
    std::set<int> legendColours;
    for (int i = 0; i < 3; ++i) {
      EXPECT_TRUE(screen.rowText(c.rows - 4 + i).starts_with(legend[i])) << screen.dump();
      legendColours.insert(screen.cell(c.rows - 4 + i, 0).fg);
    }
    EXPECT_EQ(legendColours.size(), c.colours ? 3u : 1u);
    // Braille (the only glyphs beyond ASCII) in a UTF-8 locale; not one escape byte where the
    // terminal names no sequence.
    const std::string& bytes = session.received();
    EXPECT_EQ(std::ranges::all_of(bytes, [](char b) { return (b & 0x80) == 0; }), !c.braille)
        << screen.dump();
    EXPECT_EQ(bytes.find('\x1b') == std::string::npos, c.term == "dumb");
  }
}

}  // namespace
}  // namespace qv
