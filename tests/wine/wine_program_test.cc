// The Windows executable in a Wine console inside a pseudo-terminal, read through the same
// terminal emulator as the Linux end-to-end tests, for what only the Windows console shows: a
// pass in its colours and the cursor, keys only a Windows keyboard sends, a buffer taller than
// the window, the exits and the run-time error report. (The dialogue itself is the Linux
// suites'; every digit the methods print is checked under Wine by methods_tests' same-output
// test.)
//
// A terminal cannot send everything a Windows keyboard can: Wine gives Esc without its
// character, and nothing for the numeric keypad. Those keys go straight into the console's
// input queue through the key_feeder helper, as the keyboard would put them there.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/e2e_dialogue.h"

namespace qv::e2e {
namespace {

const std::string wineRun = QV_SOURCE_DIR "/cmake/wine-run.sh";
const std::string windowsProgram = QV_WINDOWS_BUILD_DIR "/quorvendalist.exe";
const std::string keyFeeder = QV_WINDOWS_BUILD_DIR "/tests/key_feeder.exe";

// Wine starts a program in about a second once its server runs; the server is kept running for
// the whole suite.
constexpr double wineStart = 60.0;

class WineServer : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_EQ(std::system((wineRun + " --start " QV_WINDOWS_BUILD_DIR).c_str()), 0);
  }
  void TearDown() override { std::system((wineRun + " --stop " QV_WINDOWS_BUILD_DIR).c_str()); }
};
const auto* const wineServer = ::testing::AddGlobalTestEnvironment(new WineServer);

std::string temporaryPath(const char* name) {
  return testing::TempDir() + "qv-wine-" + std::to_string(getpid()) + "-" + name;
}

PtyOptions underWine(std::vector<std::string> arguments) {
  PtyOptions options;
  options.program = wineRun;
  options.arguments = std::move(arguments);
  options.typeOnlyWhenRaw = true;
  return options;
}

// The menu of the first pass appears once Wine has started the program.
testing::AssertionResult waitForFirstMenu(PtySession& session) {
  if (auto shown = session.waitForText("=>", wineStart); !shown) return shown;
  return waitForMenu(session);
}

// Key events put into the console's input queue by key_feeder, one "down|up VK SCAN CHAR STATE"
// (hexadecimal) a line: the trigger file appears whole.
void feedKeys(const std::string& trigger, const std::string& events) {
  std::ofstream(trigger + ".part") << events;
  ASSERT_EQ(std::rename((trigger + ".part").c_str(), trigger.c_str()), 0);
}

std::string windowsPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

// Esc and an Alt plus keypad code come as only a Windows keyboard sends them: Esc clears the
// line, and Alt held while 9 and 7 are typed on the numeric keypad types 'a' (97). The pass it
// starts shows every row in its colours, and Enter at the exit question clears the screen for
// the next pass. Ctrl-C then ends the program the way Windows ends a console program on Ctrl-C,
// with its status (the low 8 bits of 0xC000013A under Wine), the console's input mode put back
// (key_feeder checks it).
TEST(WineProgram, WindowsKeysAPassInItsColoursAndCtrlCWithTheConsolePutBack) {
  const std::string trigger = temporaryPath("keys");
  PtySession session(underWine({keyFeeder, windowsPath(trigger), windowsProgram}));
  ASSERT_TRUE(waitForFirstMenu(session));
  EXPECT_TRUE(rowsFrom(session, 0, menuRows("")));
  feedKeys(trigger, "down 5a 2c 7a 0\nup 5a 2c 7a 0\ndown 1b 1 1b 0\nup 1b 1 1b 0\n");  // z, Esc
  ASSERT_TRUE(session.waitFor([](const VtermScreen& s) { return s.rowText(8) == "=>"; },
                              "the line cleared by Esc"));
  // Alt down, keypad 9 and keypad 7 with Alt held, Alt up.
  feedKeys(trigger,
           "down 12 38 0 2\ndown 69 49 0 2\nup 69 49 0 2\ndown 67 47 0 2\nup 67 47 0 2\n"
           "up 12 38 0 0\n");
  ASSERT_TRUE(session.waitForText("=>a"));
  session.send("\r");
  ASSERT_TRUE(session.waitForText(repetitionsPrompt));
  session.sendLine("5");
  ASSERT_TRUE(waitForExitQuestion(session, "phi~= 1.625000000000000"));
  // Wine's console keeps no scrollback: the pass is two rows taller than the screen, and its
  // first two rows have scrolled away.
  std::vector<Row> rows =
      passRows("a", "FUNZIONE CONTINUA", repetitionsPrompt, "5",
               iterateRows({"2.000000000000000", "1.500000000000000", "1.666666666666667",
                            "1.600000000000000", "1.625000000000000"}));
  rows.erase(rows.begin(), rows.begin() + std::ptrdiff_t(rows.size() - screenRows));
  EXPECT_TRUE(rowsFrom(session, 0, rows));
  EXPECT_EQ(session.screen().cursor().row, screenRows - 1);
  session.sendLine("");
  ASSERT_TRUE(waitForMenu(session));
  session.send("\x03");
  EXPECT_TRUE(endsAsFound(session, Ending::code(0x3A)));
}

// The text of the rows the console window shows, once `shows` holds for it (key_feeder writes
// them whenever it finds the trigger empty).
std::string windowShowing(const std::string& trigger,
                          const std::function<bool(const std::string&)>& shows) {
  std::string shown;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  do {
    feedKeys(trigger, "");
    shown.clear();
    while (shown.empty() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      std::stringstream window;
      if (std::ifstream file(trigger + ".window"); file) window << file.rdbuf();
      shown = window.str();
    }
    std::remove((trigger + ".window").c_str());
  } while (!shows(shown) && std::chrono::steady_clock::now() < deadline);
  return shown;
}

std::function<bool(const std::string&)> holding(std::string text) {
  return [text](const std::string& shown) { return shown.find(text) != std::string::npos; };
}

// A console window of its own keeps a buffer taller than the window (Wine: 150 rows behind 25):
// after a pass that scrolled the window down, the cleared screen and the next menu are in view.
// Wine draws the whole buffer on a terminal, so the window is read through the console.
TEST(WineProgram, InATallBufferTheMenuAfterALongPassIsInView) {
  const std::string trigger = temporaryPath("tall");
  PtySession session(underWine({keyFeeder, "--rows", "150", windowsPath(trigger), windowsProgram}));
  std::string menu;
  for (const Row& row : menuRows("")) menu += row.text + "\n";
  // The whole menu at the top (a window read while the frame is drawn may show only some of its
  // rows), and no exit question of the pass before.
  const auto menuInView = [&menu](const std::string& shown) {
    return shown.rfind(menu, 0) == 0 && shown.find("Type 'esci'") == std::string::npos;
  };
  ASSERT_TRUE(menuInView(windowShowing(trigger, menuInView)));
  session.send("a\r");
  ASSERT_TRUE(holding(repetitionsPrompt)(windowShowing(trigger, holding(repetitionsPrompt))));
  session.send("30\r");
  ASSERT_TRUE(holding("phi~= 1.618033988749")(windowShowing(trigger, holding("Type 'esci'"))));
  session.send("\r");
  EXPECT_TRUE(menuInView(windowShowing(trigger, menuInView)));
  session.send("x\r");
  windowShowing(trigger, holding("Type 'esci'"));
  session.send("esci\r");
  EXPECT_TRUE(endsAsFound(session, Ending::code(0)));
}

// The same lines on the terminal and in a file; a failure in the menu loop has one frame line.
// The program alone in its console (as started from the Start menu) keeps the report in view
// until a key is pressed.
const std::string reportLines =
    "Runtime error 106 at 0x([0-9A-F]{8})\r\n  0x\\1\r\n  0x[0-9A-F]{8}\r\n\r\n";

TEST(WineProgram, InvalidNumberEndsWith106AndTheReportOnTheConsoleOrInTheFile) {
  {
    PtySession session(underWine({windowsProgram}));
    ASSERT_TRUE(waitForFirstMenu(session));
    ASSERT_TRUE(startMethod(session, "a", repetitionsPrompt, "12abc"));
    ASSERT_TRUE(session.waitForText("Press a key to close this window."));
    const std::vector<CellRow> rows = everyRow(session.screen());
    std::string below;
    for (auto row = rows.begin() + lastRowWithText(rows, "12abc") + 1; row != rows.end(); ++row)
      below += textOf(*row) + "\r\n";
    EXPECT_TRUE(std::regex_match(
        below, std::regex(reportLines + "Press a key to close this window.\r\n(\r\n)*")))
        << session.report();
    // The program drops what was typed before the notice, and Wine may still take keys from
    // the earlier read when it is shown: a key is typed until one ends the program.
    for (int typed = 0; typed < 10; ++typed) {
      session.send("\r");
      if (session.waitForExit(1.0)) break;
    }
    EXPECT_TRUE(endsAsFound(session, Ending::code(106)));
  }
  const std::string path = temporaryPath("stdout");
  {
    PtyOptions options =
        underWine({"-c", "exec \"$0\" \"$1\" >\"$2\"", wineRun, windowsProgram, path});
    options.program = "/bin/sh";
    PtySession session(options);
    ASSERT_TRUE(waitForFirstMenu(session));
    ASSERT_TRUE(startMethod(session, "a", repetitionsPrompt, "12abc"));
    EXPECT_TRUE(endsAsFound(session, Ending::code(106)));
    EXPECT_FALSE(session.screen().contains("Runtime error")) << session.report();
  }
  std::stringstream written;
  written << std::ifstream(path, std::ios::binary).rdbuf();
  std::remove(path.c_str());
  EXPECT_TRUE(std::regex_match(written.str(), std::regex(reportLines))) << "the file holds:\n"
                                                                        << written.str();
}

// Without a console and without arguments it says so. As a command its lines end as Windows
// text lines do, and a reader that goes away ends it at once with ERROR_NO_DATA, however Wine
// words the failed write (233, ERROR_PIPE_NOT_CONNECTED). Standard input from a pipe is typed
// text: each line is an answer, and when the text ends without an exit word the program ends
// with code 0 (no key can come any more).
TEST(WineProgram, WithoutAConsoleAsACommandAndWithPipedInput) {
  const DetachedRun alone = runWithoutTerminal(wineRun, wineStart, {windowsProgram});
  EXPECT_EQ(alone.exitCode, 1);
  EXPECT_EQ(alone.stderrText, "No way to get the console handle\r\n");
  EXPECT_EQ(alone.stdoutText, "");
  const DetachedRun run = runWithoutTerminal(wineRun, wineStart, {windowsProgram, "a", "3"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.stdoutText,
            "2.000000000000000\r\n1.500000000000000\r\n1.666666666666667\r\n\r\n"
            "phi~= 1.666666666666667\r\n");
  const DetachedRun cut =
      runWithoutTerminal("/bin/bash", wineStart,
                         {"-c", "\"$0\" \"$1\" a 2147483647 | head -n 1; echo \"${PIPESTATUS[0]}\"",
                          wineRun, windowsProgram});
  EXPECT_EQ(cut.stdoutText, "2.000000000000000\r\n232\n");
  EXPECT_EQ(cut.stderrText, "");
  // Windows' own help: its console, its exit codes, its manual beside the program.
  const std::string help =
      runWithoutTerminal(wineRun, wineStart, {windowsProgram, "-h"}).stdoutText;
  for (const char* said : {"in the console:", "  232 ", "0xC000013A", "quorvendalist.txt"}) {
    EXPECT_NE(help.find(said), std::string::npos) << said << " not in:\n" << help;
  }
  PtyOptions options = underWine({windowsProgram});
  options.pipedInput = "a\n3\n";
  PtySession session(options);
  ASSERT_TRUE(session.waitForText("phi~= 1.666666666666667", wineStart));
  EXPECT_TRUE(endsAsFound(session, Ending::code(0)));
}

}  // namespace
}  // namespace qv::e2e
