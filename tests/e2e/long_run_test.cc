// A long session at a real terminal: pass after pass of the dialogue, each method and menu lines
// that choose none in turn (only the first character of the line counts), every exit answer one
// that does not leave; then the exit word.
// The program must answer the last pass as it answered the first, and leave with exit code 0
// and the terminal as it found it. (Memory is measured by `make bench-terminal`, never
// asserted in a test.)
#include <iterator>
#include <string>

#include "support/e2e_dialogue.h"
#include "support/sanitizer.h"

namespace qv::e2e {
namespace {

// The sanitizers make every pass several times slower; fewer passes still cover the loop.
constexpr int passCount = testsupport::underSanitizer ? 300 : 1000;

struct Pass {
  const char* menuLine;
  const std::string* prompt;  // none: the line chooses no method
  const char* count;
  const char* lastLine;  // above the exit question
};

TEST(LongRun, EveryPassAnswersAlikeAndTheEndIsClean) {
  const Pass passes[] = {
      {"a", &repetitionsPrompt, "40", "phi~= 1.618033988749895"},
      {"b", &repetitionsPrompt, "3", "phi~= 1.553773974030037"},
      {"c", &elementsPrompt, "46", "phi~= 1.618033988749895"},
      {"bxyz", &repetitionsPrompt, "1", "phi~= 1.000000000000000"},
      {"d", nullptr, nullptr, "=>d"},
      {"abc", &repetitionsPrompt, "3", "phi~= 1.666666666666667"},
      {"A", nullptr, nullptr, "=>A"},  // only the exact lowercase letter chooses
      {"", nullptr, nullptr, exitQuestion.c_str()},
  };
  // Compared exactly after the cut to five characters: no case folding, no trimming.
  const char* const notExitWords[] = {"", "Esci", "esc", "esci ", " esci", "ESCIesci", "x"};
  PtySession session;
  for (int pass = 1; pass <= passCount; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    const Pass& p = passes[pass % std::size(passes)];
    if (p.prompt == nullptr) {
      ASSERT_TRUE(waitForMenu(session));
      session.sendLine(p.menuLine);
    } else {
      ASSERT_TRUE(startMethod(session, p.menuLine, *p.prompt, p.count));
      if (p.prompt == &elementsPrompt) {
        ASSERT_TRUE(waitForPause(session));
        session.sendLine("esci");  // at the pause, even the exit word is only an Enter
      }
    }
    ASSERT_TRUE(waitForExitQuestion(session, p.lastLine));
    session.sendLine(pass < passCount ? notExitWords[pass % std::size(notExitWords)] : "esci");
  }
  EXPECT_TRUE(endsAsFound(session, Ending::code(0)));
}

}  // namespace
}  // namespace qv::e2e
