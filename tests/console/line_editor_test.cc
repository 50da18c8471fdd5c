// The line editor: keys typed after a prompt, then the line handed to standardInput, the screen
// rows, and where the cursor stood while the line was being edited.
#include <functional>
#include <string>
#include <vector>

#include "console_fixture.h"
#include "textio/io_result.h"
#include "textio/text_input.h"

namespace qv {
namespace {

using Keys = std::function<void(MemoryConsole&)>;

class LineEditorTest : public ConsoleTest {
 protected:
  // Types the keys after a prompt; once they are used up, notes the cursor and presses Enter.
  std::string editLine(const Keys& keys) {
    write("=>");
    keys(*console);
    console->onInputExhausted([this](MemoryConsole& c) {
      cursorWhileEditing = c.cursor();
      c.pressKey(VirtualKey::enter);
      c.onInputExhausted(nullptr);
    });
    return readLine();
  }
  ConsoleCoord cursorWhileEditing{-1, -1};
};

Keys typed(std::string text) {
  return [text](MemoryConsole& c) { c.typeText(text); };
}
Keys key(VirtualKey k, std::uint32_t modifiers = 0) {
  return [k, modifiers](MemoryConsole& c) { c.pressKey(k, modifiers); };
}
Keys ctrl(char letter) {
  return [letter](MemoryConsole& c) { c.pressCtrl(letter); };
}
Keys altCode(std::string digits) {
  return [digits](MemoryConsole& c) { c.typeAltCode(digits); };
}
Keys keys(std::initializer_list<Keys> all) {
  return [list = std::vector<Keys>(all)](MemoryConsole& c) {
    for (const Keys& k : list) k(c);
  };
}

TEST_F(LineEditorTest, EditingKeys) {
  using VK = VirtualKey;
  constexpr std::uint32_t shift = controlKey::shiftPressed;
  struct Case {
    const char* what;
    Keys keys;
    std::string line;  // without its line end
    std::string shown;
    std::int16_t editColumn;
  };
  const Case cases[] = {
      {"typing", typed("abc"), "abc", "=>abc", 5},
      {"nothing", typed(""), "", "=>", 2},
      {"backspace at the end", typed("abc\b"), "ab", "=>ab", 4},
      {"ctrl-s at the end", keys({typed("abc"), ctrl('S')}), "ab", "=>ab", 4},
      {"backspace inside", keys({typed("abc"), key(VK::left), typed("\b")}), "abc", "=>abc", 4},
      {"backspace on empty line", typed("\b\b"), "", "=>", 2},
      {"left overwrites", keys({typed("abc"), key(VK::left), typed("x")}), "abx", "=>abx", 5},
      {"home overwrites", keys({typed("abc"), key(VK::home), typed("xy")}), "xyc", "=>xyc", 4},
      {"home", keys({typed("abc"), key(VK::home)}), "abc", "=>abc", 2},
      {"home end", keys({typed("abc"), key(VK::home), key(VK::end)}), "abc", "=>abc", 5},
      {"home right", keys({typed("abc"), key(VK::home), key(VK::right)}), "abc", "=>abc", 3},
      {"left at start",
       keys({typed("ab"), key(VK::left), key(VK::left), key(VK::left), typed("z")}), "zb", "=>zb",
       3},
      {"right at end", keys({typed("ab"), key(VK::right)}), "ab", "=>ab", 4},
      {"esc after home", keys({typed("abc"), key(VK::home), typed("\x1b")}), "", "=>", 2},
      {"ctrl-y", keys({typed("abc"), key(VK::left), ctrl('Y')}), "", "=>", 2},
      {"esc then typing", typed("abc\x1bxy"), "xy", "=>xy", 4},
      {"tab is one cell", typed("a\tb"), "a\tb", "=>a\tb", 5},
      {"ctrl-g is stored, not drawn", keys({typed("a"), ctrl('G'), typed("b")}), "a\ab", "=>ab", 4},
      {"ctrl-z ignored", keys({typed("a"), ctrl('Z'), typed("b")}), "ab", "=>ab", 4},
      {"shift home acts as home", keys({typed("abc"), key(VK::home, shift), typed("x")}), "xbc",
       "=>xbc", 3},
      {"ctrl left ignored",
       keys({typed("abc"), key(VK::left, controlKey::leftCtrlPressed), typed("x")}), "abcx",
       "=>abcx", 6},
      {"alt left ignored",
       keys({typed("abc"), key(VK::left, controlKey::leftAltPressed), typed("x")}), "abcx",
       "=>abcx", 6},
      {"other special keys ignored",
       keys({typed("a"), key(VK::up), key(VK::del), key(VK::insert), key(VK::f1), key(VK::f12),
             key(VK::pageDown), key(VK::divide), typed("b")}),
       "ab", "=>ab", 4},
      {"alt 6 5", keys({typed("x"), altCode("65")}), "xA", "=>xA", 4},
      {"alt 3 2 1 wraps", altCode("321"), "A", "=>A", 3},
      {"alt 0 types nothing", keys({altCode("0"), typed("b")}), "b", "=>b", 3},
      {"right alt too", [](MemoryConsole& c) { c.typeAltCode("66", controlKey::rightAltPressed); },
       "B", "=>B", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    start({});
    EXPECT_EQ(editLine(c.keys), c.line + "\r\n");
    EXPECT_EQ(standardInput.bufferPosition, 0);
    EXPECT_EQ(row(0), c.shown);
    EXPECT_EQ(cursorWhileEditing, (ConsoleCoord{c.editColumn, 0}));
    EXPECT_EQ(cursor(), (ConsoleCoord{0, 1}));  // Enter goes below, wherever the edit stood
  }
}

TEST_F(LineEditorTest, KeypadEnterAndCtrlMEndTheLine) {
  for (const Keys& enter : {key(VirtualKey::enter, controlKey::enhancedKey), ctrl('M')}) {
    start({});
    console->typeText("ab");
    enter(*console);
    console->typeText("cd");
    EXPECT_EQ(readLine(), "ab\r\n");
    EXPECT_GT(console->pendingEvents(), 0u);  // the keys behind Enter wait for the next line
  }
}

TEST_F(LineEditorTest, CtrlJIsStoredAndEchoedAsLineFeed) {
  EXPECT_EQ(editLine(keys({typed("a"), ctrl('J'), typed("b")})), "a\nb\r\n");
  EXPECT_EQ(row(0), "=>a");
  EXPECT_EQ(row(1), "   b");
  EXPECT_EQ(cursorWhileEditing, (ConsoleCoord{4, 1}));
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 2}));
}

TEST_F(LineEditorTest, At254CharactersFurtherKeysAreDroppedButEnterStillWorks) {
  const std::string line = editLine(typed(std::string(254, 'x') + "yz"));
  EXPECT_EQ(line, std::string(254, 'x') + "\r\n");
  EXPECT_EQ(standardInput.bufferEnd, 256);
  EXPECT_EQ(row(2), std::string(80, 'x'));
  EXPECT_EQ(row(3), std::string(256 - 240, 'x'));  // two of them belong to the prompt
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 4}));
}

TEST_F(LineEditorTest, OverwritingAtTheLimitStillWorks) {
  const std::string full(254, 'x');
  const std::string line = editLine(keys({typed(full), key(VirtualKey::left), typed("yz")}));
  EXPECT_EQ(line, std::string(253, 'x') + "y\r\n");
}

TEST_F(LineEditorTest, WrappedLineHomeStopsTheCursorAtTheLeftColumn) {
  start({.columns = 10, .rows = 5});
  const std::string line = editLine(keys({typed("abcdefghij"), key(VirtualKey::home)}));
  EXPECT_EQ(line, "abcdefghij\r\n");
  EXPECT_EQ(row(0), "=>abcdefgh");
  EXPECT_EQ(row(1), "ij");
  EXPECT_EQ(cursorWhileEditing, (ConsoleCoord{0, 1}));
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 2}));
}

TEST_F(LineEditorTest, EnterOnTheLastRowScrollsTheWindow) {
  start({.cursor = {0, 24}});
  EXPECT_EQ(editLine(typed("abc")), "abc\r\n");
  EXPECT_EQ(row(23), "=>abc");
  EXPECT_EQ(row(24), "");
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 24}));
}

TEST_F(LineEditorTest, EchoIsDrawnInTheCurrentColours) {
  start({.attributeWord = 0x1F});
  setTextColor(14);
  editLine(typed("a"));
  EXPECT_EQ(console->cell(2, 0), (ConsoleCell{'a', 0x1E}));
}

TEST_F(LineEditorTest, LinesFeedTheReadOperations) {
  console->typeText("42\r");
  EXPECT_EQ(readInteger(standardInput), 42);
  readLineEnd(standardInput);
  EXPECT_EQ(ioResult, 0);
  EXPECT_EQ(row(0), "42");
}

}  // namespace
}  // namespace qv
