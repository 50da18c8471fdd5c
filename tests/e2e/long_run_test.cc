// A long session at a real terminal: passes of the dialogue with random menu lines, counts and
// answers that are not exit words, then the exit word. The program must keep answering, pick
// the method the menu line asks for, hold its memory steady, and at the end leave with exit
// code 0 and the terminal as it found it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/pty_session.h"
#include "support/sanitizer.h"

namespace qv {
namespace {

using testsupport::underSanitizer;

// The sanitizers make every pass several times slower; fewer passes still cover the loop.
constexpr int passCount = underSanitizer ? 300 : 1000;
constexpr int firstSamplePass = underSanitizer ? 50 : 100;
// Pages first touched late (a deeper stack, a longer scroll) may still come; a leak of even a
// few bytes a pass would pass this by far over the remaining passes.
constexpr long residentSlackKiB = underSanitizer ? 256 : 64;

const std::string kBanner = "~~~~ QUORVENDALIST ~~~~";
const std::string kLastMenuLine = "[c] sequenza di Fibonacci";
const std::string kExitQuestion = "Type 'esci' to exit or press enter to continue";
const std::string kRepeatPrompt =
    "Inserisci il numero n di volte che si desidera ripetere il ciclo";
const std::string kFibonacciPrompt =
    "Inserisci il numero n di elementi della sequenza di Fibonacci [<47]";
const std::string kPause = "Premi invio per calcolare phi dalla sequenza di Fibonacci...";

long residentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    long kib = 0;
    if (std::sscanf(line.c_str(), "VmRSS: %ld kB", &kib) == 1) return kib;
  }
  return -1;
}

// The row holding exactly this text, -1 if none.
int rowWith(const VtermScreen& screen, const std::string& text) {
  for (int row = 0; row < screen.rows(); ++row) {
    if (screen.rowText(row) == text) return row;
  }
  return -1;
}

// The cursor waits behind "=>" on the row below `above` rows of this text: a prompt that the
// whole frame has been drawn for (the cursor is placed last).
bool promptBelow(const VtermScreen& screen, const std::string& text, int above) {
  const VtermCursor cursor = screen.cursor();
  return cursor.col == 2 && cursor.row >= above && screen.rowText(cursor.row) == "=>" &&
         screen.rowText(cursor.row - above) == text;
}

bool menuShown(const VtermScreen& screen) {
  return screen.rowText(0).rfind(kBanner, 0) == 0 && !screen.contains(kExitQuestion) &&
         promptBelow(screen, kLastMenuLine, 2);
}

bool exitQuestionShown(const VtermScreen& screen) {
  return promptBelow(screen, kExitQuestion, 1);
}

// The method's title above its prompt for n, and the cursor at the start of the next line.
bool countPromptShown(const VtermScreen& screen, const std::string& title,
                      const std::string& prompt) {
  const int row = rowWith(screen, prompt);
  const VtermCursor cursor = screen.cursor();
  return row > 0 && screen.rowText(row - 1) == title && cursor.row == row + 1 && cursor.col == 0;
}

bool pauseShown(const VtermScreen& screen) {
  const VtermCursor cursor = screen.cursor();
  return screen.rowText(cursor.row) == kPause && cursor.col == int(kPause.size());
}

struct Method {
  const char* title;
  const std::string* prompt;
  int largestCount;
  bool pauses;
};

const Method* methodFor(char choice) {
  static const Method methods[] = {{"FUNZIONE CONTINUA", &kRepeatPrompt, 30, false},
                                   {"RADICI NIDIFICATE", &kRepeatPrompt, 30, false},
                                   {"SEQUENZA DI FIBONACCI", &kFibonacciPrompt, 60, true}};
  return choice >= 'a' && choice <= 'c' ? &methods[choice - 'a'] : nullptr;
}

class LongRun {
 public:
  explicit LongRun(PtySession& session) : session_(session) {}

  void pass() {
    ASSERT_TRUE(session_.waitFor(menuShown, "the menu"));
    const std::string menuLine = pick(menuLines());
    session_.sendLine(menuLine);
    if (const Method* method = methodFor(menuLine.empty() ? '\0' : menuLine[0])) {
      runMethod(*method);
      if (testing::Test::HasFatalFailure()) return;
    }
    ASSERT_TRUE(session_.waitFor(exitQuestionShown, "the exit question"));
  }

  void answerExitQuestion() { session_.sendLine(pick(notExitWords())); }

 private:
  void runMethod(const Method& method) {
    ASSERT_TRUE(session_.waitFor(
        [&](const VtermScreen& s) { return countPromptShown(s, method.title, *method.prompt); },
        std::string("the prompt for n of ") + method.title));
    session_.sendLine(
        std::to_string(std::uniform_int_distribution(0, method.largestCount)(random_)));
    if (method.pauses) {
      ASSERT_TRUE(session_.waitFor(pauseShown, "the pause before the ratios"));
      session_.sendLine(pick({"", "", "42", "esci"}));
    }
    ASSERT_TRUE(session_.waitFor(
        [](const VtermScreen& s) { return s.contains("phi~= ") && exitQuestionShown(s); },
        "the closing line and the exit question"));
  }

  static const std::vector<std::string>& menuLines() {
    static const std::vector<std::string> lines = {"a", "b",  "c", "abc", "bxyz", "c 7", "",
                                                   " ", " a", "A", "B",   "d",    "1",   "esci"};
    return lines;
  }
  // The exit words with another case, cut short, lengthened, padded, or run together.
  static const std::vector<std::string>& notExitWords() {
    static const std::vector<std::string> words = {"",      "Esci",     "esc",     "escii", "esci ",
                                                   " esci", "ESCIesci", "esci!!!", "x",     "ESC"};
    return words;
  }

  std::string pick(const std::vector<std::string>& choices) {
    return choices[std::uniform_int_distribution<std::size_t>(0, choices.size() - 1)(random_)];
  }

  PtySession& session_;
  std::mt19937 random_{20240611};
};

TEST(LongRun, ManyPassesKeepMemoryAndEndCleanly) {
  PtySession session;  // 80x25, the real program
  ASSERT_TRUE(session.started());
  LongRun run(session);
  long residentAfterWarmUp = -1;
  for (int pass = 1; pass <= passCount; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    run.pass();
    if (testing::Test::HasFatalFailure()) return;
    if (pass == firstSamplePass) residentAfterWarmUp = residentKiB(session.pid());
    if (pass < passCount) run.answerExitQuestion();
  }
  const long residentAtEnd = residentKiB(session.pid());

  session.sendLine("esci");
  ASSERT_TRUE(session.waitForExit());
  EXPECT_EQ(session.exitCode(), 0);
  EXPECT_TRUE(session.terminalSettingsRestored());
  ASSERT_GT(residentAfterWarmUp, 0);
  EXPECT_LE(residentAtEnd, residentAfterWarmUp + residentSlackKiB)
      << "resident KiB after pass " << firstSamplePass << ": " << residentAfterWarmUp
      << ", after pass " << passCount << ": " << residentAtEnd;
}

}  // namespace
}  // namespace qv
