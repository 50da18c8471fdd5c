// The machine's terminfo descriptions as the console reads them: each terminal gets its own
// colours (bright ones drawn as it can), keypad, auto-wrap and cursor question, without the
// delays of a slow serial line.
#include "console/linux/terminfo.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "console/terminal/renderer.h"

namespace qv {
namespace {

// The screen's and tmux's descriptions name no way to switch auto-wrap off: the VT100's is
// used, which every terminal with the VT100's cursor addressing knows. The Linux console's
// has no keypad strings; vt100's bold carries a delay.
TEST(Terminfo, EachTerminalGetsWhatItsDescriptionSays) {
  const struct {
    const char* term;
    int colours;
    const char *green, *keypadOn;
  } cases[] = {
      {"xterm-256color", 256, "\x1b[92m", "\x1b[?1h\x1b="},
      {"linux", 8, "\x1b[32m", ""},
      {"screen", 8, "\x1b[32m", "\x1b[?1h\x1b="},
      {"tmux-256color", 256, "\x1b[92m", "\x1b[?1h\x1b="},
      {"vt100", 0, "", "\x1b[?1h\x1b="},
  };
  const char* saved = std::getenv("TERM");
  const std::string term = saved != nullptr ? saved : "";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.term);
    setenv("TERM", c.term, 1);
    const std::optional<TerminalCapabilities> caps = readTerminfo(STDOUT_FILENO);
    ASSERT_TRUE(caps.has_value());
    EXPECT_TRUE(caps->addressable());
    EXPECT_EQ(caps->colours, c.colours);
    EXPECT_EQ(caps->foreground[c.colours >= 16 ? 10 : 2], c.green);
    EXPECT_EQ(caps->keypadOn, c.keypadOn);
    EXPECT_EQ(caps->autoWrapOff, "\x1b[?7l");
    EXPECT_EQ(caps->bold, "\x1b[1m");
    EXPECT_EQ(caps->cursorQuery, "\x1b[6n");
    // Bright green drawn with what the description has: bright as bold on 8 colours.
    ScreenGrid grid(1, 1, {'x', 0x9A});
    Renderer renderer(1, 1, *caps);
    std::string out;
    renderer.render(grid, out);
    EXPECT_NE(out.find(c.green), std::string::npos);
    EXPECT_EQ(out.find(caps->bold) != std::string::npos, c.colours == 8);
  }
  // Without a description the caller uses the xterm set; dumb cannot address its cursor.
  for (const char* none : {"", "no-such-terminal"}) {
    setenv("TERM", none, 1);
    EXPECT_FALSE(readTerminfo(STDOUT_FILENO).has_value()) << none;
  }
  setenv("TERM", "dumb", 1);
  EXPECT_FALSE(readTerminfo(STDOUT_FILENO).value().addressable());
  if (saved != nullptr) setenv("TERM", term.c_str(), 1);
  if (saved == nullptr) unsetenv("TERM");
}

}  // namespace
}  // namespace qv
