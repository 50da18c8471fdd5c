// How the process ends: the run-time error report, its frame lines and their limits, the exit
// code, and the terminal restore step that runs once before anything is reported.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_error_child.h"
#include "support/pty_session.h"
#include "textio/run_error.h"

namespace qv {
namespace {

using testing_child::parseReport;
using testing_child::runScenario;
using testing_child::scenarioSymbols;
using testing_child::startProgramSymbol;

constexpr const char* restoredLine = "restored control=1372 status=0000 mxcsr=00001900\r\n";

std::vector<std::string> functionsOf(const std::vector<std::uint32_t>& addresses) {
  std::vector<std::string> names;
  for (std::uint32_t address : addresses) {
    names.push_back(scenarioSymbols().functionAt(address));
  }
  return names;
}

TEST(HexDigitsTest, GivesExactlyTheLowestDigitsInCapitals) {
  struct Case {
    std::uint32_t value;
    int count;
    std::string expected;
  };
  const Case cases[] = {
      {0, 8, "00000000"},      {0xFFFFFFFF, 8, "FFFFFFFF"}, {0x1A2B, 8, "00001A2B"},
      {0xABCDEF12, 4, "EF12"}, {0x12, 10, "0000000012"},    {0x12, 0, ""},
      {0x12, -3, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(hexDigits(c.value, c.count).view(), c.expected) << c.value << " " << c.count;
  }
  EXPECT_EQ(formatCodeAddress(0x4A0).view(), "  0x000004A0");
}

// The statement that failed and every active call down to start-up, in the source's terms.
TEST(RunErrorReportTest, NamesTheFailingStatementAndEachActiveCall) {
  struct Case {
    const char* scenario;
    int number;
    std::vector<std::string> functions;  // of the failure address, then of each frame line
  };
  const Case cases[] = {
      {"menu-io", 106, {"qvScenarioMain", startProgramSymbol}},
      {"method-io", 106, {"qvMethodStatement", "qvScenarioMain", startProgramSymbol}},
      {"write-input", 105, {"qvWriteOnInput", "qvScenarioMain", startProgramSymbol}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    const auto end = runScenario(c.scenario);
    ASSERT_TRUE(end.finished);
    EXPECT_EQ(end.exitCode, c.number);
    const auto report = parseReport(end.output);
    EXPECT_TRUE(report.wellFormed) << end.output;
    EXPECT_EQ(report.before, restoredLine);
    EXPECT_EQ(report.number, c.number);
    ASSERT_FALSE(report.frames.empty());
    EXPECT_EQ(report.frames.front(), report.address);
    EXPECT_EQ(functionsOf(report.frames), c.functions) << end.output;
    EXPECT_EQ(end.errors, "");
  }
}

TEST(RunErrorReportTest, OrderlyEndsWriteNothingButTheRestoredTerminal) {
  struct Case {
    const char* scenario;
    int exitCode;
  };
  for (const Case& c : {Case{"normal", 0}, Case{"halt", 1}}) {
    SCOPED_TRACE(c.scenario);
    const auto end = runScenario(c.scenario);
    ASSERT_TRUE(end.finished);
    EXPECT_EQ(end.exitCode, c.exitCode);
    EXPECT_EQ(end.output, restoredLine);
    EXPECT_EQ(end.errors, "");
  }
}

TEST(RunErrorReportTest, AFileKeepsAtMost257FrameLines) {
  const auto end = runScenario("deep-io");
  ASSERT_TRUE(end.finished);
  EXPECT_EQ(end.exitCode, 106);
  const auto report = parseReport(end.output);
  EXPECT_TRUE(report.wellFormed);
  EXPECT_EQ(report.frames.size(), 1u + 257u);
  EXPECT_EQ(scenarioSymbols().functionAt(report.frames.back()), "qvDeepStatement");
}

TEST(RunErrorReportTest, ATerminalShowsAtMost9FrameLines) {
  PtyOptions options;
  options.program = testing_child::scenarioProgram();
  options.arguments = {"deep-io"};
  PtySession session(options);
  ASSERT_TRUE(session.started());
  ASSERT_TRUE(session.waitForExit());
  EXPECT_EQ(session.exitCode(), 106);
  const std::string& text = session.received();
  int frameLines = 0;
  for (std::size_t at = text.find("\n  0x"); at != std::string::npos;
       at = text.find("\n  0x", at + 1)) {
    ++frameLines;
  }
  EXPECT_EQ(frameLines, 1 + 9) << text;
  EXPECT_NE(text.find("Runtime error 106 at 0x"), std::string::npos) << text;
}

// The restore step is taken before it runs: a fault inside it ends the process at once,
// without running it again and without turning an error or a normal end into something else.
TEST(RunErrorReportTest, AFaultWhileEndingEndsAtOnce) {
  struct Case {
    const char* scenario;
    int exitCode;
  };
  for (const Case& c :
       {Case{"restore-faults-after-error", 106}, Case{"restore-faults-after-normal-end", 216}}) {
    SCOPED_TRACE(c.scenario);
    const auto end = runScenario(c.scenario);
    ASSERT_TRUE(end.finished);
    EXPECT_EQ(end.exitCode, c.exitCode);
    EXPECT_EQ(end.output, "restoring\r\n");
  }
}

}  // namespace
}  // namespace qv
