// The convergence picture as the command draws it: the SVG document read back as XML, and the
// chart in a terminal's cells as a terminal emulator shows it.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "support/pty_session.h"

namespace qv {
namespace {

struct SvgFacts {
  std::string root, version, title, desc;
  int polylines = 0;
  std::size_t mostPoints = 0;  // of one polyline
  int scripts = 0;
  int references = 0;  // href attributes and url(...) values
  std::string text;    // all <text>, one after another
};

void walk(xmlNode* node, SvgFacts& facts) {
  for (; node != nullptr; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    const std::string name = reinterpret_cast<const char*>(node->name);
    xmlChar* content = xmlNodeGetContent(node);
    const std::string inner = reinterpret_cast<const char*>(content);
    xmlFree(content);
    if (name == "title") facts.title = inner;
    if (name == "desc") facts.desc = inner;
    if (name == "text") facts.text += inner + "\n";
    if (name == "script") ++facts.scripts;
    for (xmlAttr* a = node->properties; a != nullptr; a = a->next) {
      xmlChar* value = xmlNodeListGetString(node->doc, a->children, 1);
      const std::string attribute = reinterpret_cast<const char*>(a->name);
      const std::string text = reinterpret_cast<const char*>(value);
      xmlFree(value);
      if (attribute == "href" || text.find("url(") != std::string::npos) ++facts.references;
      if (name == "polyline" && attribute == "points") {
        ++facts.polylines;
        std::size_t points = 0;
        for (char c : text) points += c == ',';
        facts.mostPoints = std::max(facts.mostPoints, points);
      }
    }
    walk(node->children, facts);
  }
}

SvgFacts readSvg(const std::string& document) {
  SvgFacts facts;
  xmlDoc* doc = xmlReadMemory(document.data(), int(document.size()), "picture.svg", nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (doc == nullptr) return facts;
  xmlNode* root = xmlDocGetRootElement(doc);
  facts.root = reinterpret_cast<const char*>(root->name);
  if (root->ns != nullptr) facts.root += std::string(" ") + (const char*)root->ns->href;
  xmlChar* version = xmlGetProp(root, reinterpret_cast<const xmlChar*>("version"));
  if (version != nullptr) facts.version = reinterpret_cast<const char*>(version);
  xmlFree(version);
  walk(root, facts);
  xmlFreeDoc(doc);
  return facts;
}

// One document for any n, of bounded size: three series, each named in the legend with its
// rate; the Fibonacci wrap marked once it is reached.
TEST(Picture, SvgIsOneBoundedDocumentWithTitleDescriptionAndLegend) {
  for (const char* n : {"60", "10000000"}) {
    SCOPED_TRACE(n);
    const DetachedRun run = runWithoutTerminal(programPath(), 120.0, {"--svg", "abc", n});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.stderrText, "");
    EXPECT_LT(run.stdoutText.size(), 100u * 1024);
    const SvgFacts svg = readSvg(run.stdoutText);
    EXPECT_EQ(svg.root, "svg http://www.w3.org/2000/svg");
    EXPECT_EQ(svg.version, "1.1");
    EXPECT_NE(svg.title.find("n = " + std::string(n)), std::string::npos) << svg.title;
    EXPECT_NE(svg.desc.find("a (funzione continua): 1.618033988749895 after " + std::string(n) +
                            " steps, 0.42 correct decimals a step"),
              std::string::npos)
        << svg.desc;
    EXPECT_EQ(svg.scripts + svg.references, 0);
    EXPECT_EQ(svg.polylines, 3);
    EXPECT_LE(svg.mostPoints, 2u * 481);
    for (const char* shown :
         {"a  funzione continua: 0.42", "b  radici nidificate: 0.51",
          "c  sequenza di Fibonacci: 0.42", "wraps at step 47", "correct decimals", "step"}) {
      EXPECT_NE(svg.text.find(shown), std::string::npos) << shown << "\n" << svg.text;
    }
  }
  // Before the wrap there is none to mark.
  EXPECT_EQ(readSvg(runWithoutTerminal(programPath(), 10.0, {"--svg", "c", "40"}).stdoutText)
                .text.find("wrap"),
            std::string::npos);
}

// The chart fills the window it finds, braille in a UTF-8 locale, marks in ASCII elsewhere,
// each method in a colour of its own where the terminal has colours, and the legend under it.
TEST(Picture, PlotDrawsInTheTerminalsCellsAndCharacterSet) {
  char folder[] = "/tmp/qv-locale-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string latin1 = "de_DE.ISO-8859-1";
  ASSERT_EQ(std::system(("localedef -i de_DE -f ISO-8859-1 " + std::string(folder) + "/" + latin1 +
                         " 2>/dev/null")
                            .c_str()),
            0);
  const struct {
    int cols, rows;
    std::string locale, term;
    bool braille, colours;
  } cases[] = {
      {80, 25, "C.UTF-8", "xterm-256color", true, true},
      {40, 12, "C.UTF-8", "xterm-256color", true, true},
      {80, 25, "C", "xterm-256color", false, true},
      {40, 12, "C", "xterm-256color", false, true},
      {80, 25, latin1, "xterm", false, true},
      {80, 25, "C.UTF-8", "dumb", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.cols) + "x" + std::to_string(c.rows) + " " + c.locale + " " +
                 c.term);
    PtyOptions options;
    options.rows = c.rows;
    options.cols = c.cols;
    options.arguments = {"--plot", "abc", "60"};
    options.environment = {"LANG=" + c.locale, "LOCPATH=" + std::string(folder), "TERM=" + c.term};
    PtySession session(options);
    ASSERT_TRUE(session.waitForExit());
    EXPECT_EQ(session.exitCode(), 0);
    const VtermScreen& screen = session.screen();
    // All of it on the screen: title on the first row, legend on the last three above the
    // cursor's row, nothing wider than the window.
    EXPECT_TRUE(screen.rowText(0).starts_with("correct decimals")) << screen.dump();
    EXPECT_TRUE(screen.rowText(c.rows - 4).starts_with("* a funzione continua")) << screen.dump();
    EXPECT_TRUE(screen.rowText(c.rows - 3).starts_with("+ b radici nidificate")) << screen.dump();
    EXPECT_TRUE(screen.rowText(c.rows - 2).starts_with("o c sequenza di Fibonacci"))
        << screen.dump();
    EXPECT_EQ(screen.scrollbackText().size(), 0u) << screen.dump();
    bool braille = false;
    std::set<int> legendColours;
    for (int row = 0; row < c.rows; ++row) {
      for (int col = 0; col < c.cols; ++col) {
        const VtermCell cell = screen.cell(row, col);
        for (char32_t ch : cell.chars) {
          braille = braille || (ch >= 0x2800 && ch <= 0x28FF);
          if (!c.braille) {
            EXPECT_LT(ch, 0x80u) << row << "," << col;
          }
        }
        if (col == 0 && row >= c.rows - 4 && row < c.rows - 1) legendColours.insert(cell.fg);
      }
    }
    EXPECT_EQ(braille, c.braille) << screen.dump();
    EXPECT_EQ(legendColours.size(), c.colours ? 3u : 1u);
    // Not one escape byte where the terminal names no sequence.
    if (c.term == "dumb") {
      EXPECT_EQ(session.received().find('\x1b'), std::string::npos) << session.received();
    }
  }
  std::system(("rm -rf " + std::string(folder)).c_str());
}

}  // namespace
}  // namespace qv
