// Answers piped into standard input while the terminal stays the controlling one: the dialogue
// runs on the terminal, and input that runs out ends the program instead of leaving it waiting.
#include <string>
#include <vector>

#include "support/e2e_dialogue.h"

namespace qv::e2e {
namespace {

TEST(PipedInput, RunsTheDialogueAndEndsWithCodeZero) {
  struct Case {
    const char* name;
    const char* input;
    std::vector<std::string> shown;  // texts that must stand on rows of their own, in order
  };
  const Case cases[] = {
      {"exit word",
       "a\n5\nesci\n",
       {"=>a", "5", "phi~= 1.625000000000000", std::string(exitQuestion), "=>esci"}},
      {"ends at the exit question", "b\n1\n", {"phi~= 1.000000000000000"}},
      {"ends at the pause", "c\n3\n", {"1  1  2", std::string(ratioPause)}},
      {"ends at a prompt for n", "a\n", {std::string(repetitionsPrompt)}},
      {"nothing at all", "", {std::string(menuQuestion)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PtyOptions options = programOptions();
    options.pipedInput = c.input;
    PtySession session(options);
    EXPECT_TRUE(endsWith(session, 0));

    const std::vector<CellRow> rows = everyRow(session.screen());
    int from = lastRowWithText(rows, banner);
    ASSERT_GE(from, 0) << session.report();
    for (const std::string& text : c.shown) {
      const int found = lastRowWithText(rows, text, from);
      ASSERT_GE(found, from) << "\"" << text << "\"\n" << session.report();
      from = found;
    }
    EXPECT_FALSE(session.screen().contains("Runtime error")) << session.report();
  }
}

}  // namespace
}  // namespace qv::e2e
