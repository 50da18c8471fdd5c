// An invalid number at a prompt for n: exit code 106 and the run-time error report, on the
// terminal in its own colours, or in the file that standard output was redirected to.
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/e2e_dialogue.h"

namespace qv::e2e {
namespace {

// The same lines on the terminal and in a file, where they end as Linux text lines do. The frame
// lines are not cut at nine, but a failure in the menu loop has one.
std::regex wholeReport(const std::string& lineEnd) {
  return std::regex("Runtime error 106 at 0x([0-9A-F]{8})" + lineEnd + "  0x\\1" + lineEnd +
                    "  0x[0-9A-F]{8}" + lineEnd + lineEnd);
}

TEST(RunErrorReport, InvalidNumberEndsWith106AndTheReportInTheTerminalsOwnColours) {
  PtySession session;
  ASSERT_TRUE(startMethod(session, "a", repetitionsPrompt, "12abc"));
  EXPECT_TRUE(endsAsFound(session, Ending::code(106)));
  EXPECT_FALSE(session.screen().contains(exitQuestion)) << "the method must not run";

  const std::vector<CellRow> rows = everyRow(session.screen());
  const int typed = lastRowWithText(rows, "12abc");
  ASSERT_TRUE(typed >= 0 && rows.size() >= std::size_t(typed) + 5) << session.report();
  std::string report;
  for (int line = 1; line <= 4; ++line) {
    report += textOf(rows[std::size_t(typed + line)]) + "\r\n";
    for (const VtermCell& cell : rows[std::size_t(typed + line)]) {
      if (cell.chars.empty() || cell.chars == U" ") continue;
      ASSERT_TRUE(cell.fg == int(Ink::terminalDefault) && cell.bg == -1)
          << line << session.report();
    }
  }
  EXPECT_TRUE(std::regex_match(report, wholeReport("\r\n"))) << session.report();
  // The terminal adds its own carriage return to each line feed, once.
  const std::string& bytes = session.received();
  EXPECT_EQ(bytes.find("\r\r\n", bytes.find("Runtime error")), std::string::npos);
}

TEST(RunErrorReport, WithStandardOutputInAFileTheDialogueStaysOnTheTerminal) {
  std::string path = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/qv-XXXXXX";
  const int fd = mkstemp(path.data());
  ASSERT_GE(fd, 0);
  close(fd);
  {
    PtySession session(programWithStandardOutputIn(path));
    ASSERT_TRUE(startMethod(session, "a", repetitionsPrompt, "12abc"));
    EXPECT_TRUE(endsAsFound(session, Ending::code(106)));
    EXPECT_FALSE(session.screen().contains("Runtime error")) << session.report();
    EXPECT_TRUE(session.screen().contains("=>a")) << session.report();
  }
  std::stringstream written;
  written << std::ifstream(path, std::ios::binary).rdbuf();
  unlink(path.c_str());
  EXPECT_TRUE(std::regex_match(written.str(), wholeReport("\n"))) << "the file holds:\n"
                                                                  << written.str();
}

}  // namespace
}  // namespace qv::e2e
