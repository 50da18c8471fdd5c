// Console input: key events become key codes (special keys two codes, extended codes following
// the modifier held), and the line editor turns keys typed after a prompt into the line handed
// to standardInput, the screen rows, and where the cursor stood while the line was edited.
#include <functional>
#include <string>
#include <vector>

#include "console_fixture.h"

namespace qv {
namespace {

using KeyReaderTest = ConsoleTest;

constexpr std::uint32_t alt = controlKey::leftAltPressed;
constexpr std::uint32_t ctrl = controlKey::rightCtrlPressed;
constexpr std::uint32_t shift = controlKey::shiftPressed;
constexpr std::uint32_t leftCtrl = controlKey::leftCtrlPressed;
constexpr std::uint32_t allHeld = controlKey::rightAltPressed | ctrl | shift;

int extended(int scanCode, std::uint32_t modifiers) {
  return translateExtendedKey(ScanCode(scanCode), modifiers, VirtualKey::none);
}

TEST_F(KeyReaderTest, ExtendedCodesByModifier) {
  // A sample of each modifier's row: F1, F10, F11, F12 and a key of each block; Alt wins over
  // Ctrl and Shift, Ctrl over Shift; unlisted scan codes stay, and only their low byte counts.
  // clang-format off
  const int cases[][3] = {
      {59, 0, 59}, {75, 0, 75}, {87, 0, 133}, {88, 0, 134},
      {59, shift, 84}, {68, shift, 93}, {88, shift, 136}, {71, shift, 71},
      {15, ctrl, 148}, {55, ctrl, 150}, {59, ctrl, 94}, {87, ctrl, 137}, {71, ctrl, 119},
      {76, ctrl, 143}, {78, ctrl, 78},
      {2, alt, 120}, {28, alt, 166}, {53, alt, 164}, {68, alt, 113}, {88, alt, 140},
      {71, alt, 151}, {74, alt, 74}, {83, alt, 163},
      {75, allHeld, 155}, {75, ctrl + shift, 115}, {75, leftCtrl, 115}, {30, alt, 30},
      {0x14B, ctrl, 0x4B}};
  // clang-format on
  for (const auto& [scan, modifiers, code] : cases) {
    EXPECT_EQ(extended(scan, std::uint32_t(modifiers)), code) << scan << " with " << modifiers;
  }
  EXPECT_FALSE(consoleState.altCodeActive);   // no keypad digit was among them
  console->pressKey(VirtualKey::left, ctrl);  // read as two codes: 0, then the extended one
  EXPECT_EQ(nextKeyCode(), 0);
  EXPECT_EQ(nextKeyCode(), 115);
}

using Keys = std::function<void(MemoryDevice&)>;

class LineEditorTest : public ConsoleTest {
 protected:
  // Types the keys after a prompt; once they are used up, notes the cursor and presses Enter.
  std::string editLine(const Keys& keys) {
    write("=>");
    keys(*console);
    console->onInputExhausted([this](MemoryDevice& c) {
      cursorWhileEditing = c.cursor();
      c.pressKey(VirtualKey::enter);
      c.onInputExhausted(nullptr);
    });
    return readLine();
  }
  ConsoleCoord cursorWhileEditing{-1, -1};
};

Keys typed(std::string text) {
  return [text](MemoryDevice& c) { c.typeText(text); };
}
Keys key(VirtualKey k, std::uint32_t modifiers = 0) {
  return [k, modifiers](MemoryDevice& c) { c.pressKey(k, modifiers); };
}
Keys withCtrl(char letter) {
  return [letter](MemoryDevice& c) { c.pressCtrl(letter); };
}
Keys withAlt(char letter) {  // as the terminal reports Alt+letter: the character, Alt held
  return [letter](MemoryDevice& c) {
    c.pressKey(VirtualKey(letter & ~0x20), ScanCode::none, std::uint8_t(letter),
               controlKey::leftAltPressed);
  };
}
Keys altCode(std::string digits) {
  return [digits](MemoryDevice& c) { c.typeAltCode(digits); };
}
Keys keys(std::initializer_list<Keys> all) {
  return [list = std::vector<Keys>(all)](MemoryDevice& c) {
    for (const Keys& k : list) k(c);
  };
}

TEST_F(LineEditorTest, EditingKeys) {
  using VK = VirtualKey;
  const struct {
    const char* what;
    Keys keys;
    std::string line;  // also what the row shows after the prompt
    std::int16_t editColumn;
  } cases[] = {
      {"typing", typed("abc"), "abc", 5},
      {"backspace at the end", typed("abc\b"), "ab", 4},
      {"ctrl-s at the end", keys({typed("abc"), withCtrl('S')}), "ab", 4},
      {"backspace inside", keys({typed("abc"), key(VK::left), typed("\b")}), "abc", 4},
      {"backspace on empty line", typed("\b\b"), "", 2},
      {"left overwrites", keys({typed("abc"), key(VK::left), typed("x")}), "abx", 5},
      {"home overwrites", keys({typed("abc"), key(VK::home), typed("xy")}), "xyc", 4},
      {"home end", keys({typed("abc"), key(VK::home), key(VK::end)}), "abc", 5},
      {"home right", keys({typed("abc"), key(VK::home), key(VK::right)}), "abc", 3},
      {"left at start", keys({typed("ab"), key(VK::home), key(VK::left), typed("z")}), "zb", 3},
      {"right at end", keys({typed("ab"), key(VK::right)}), "ab", 4},
      {"esc after home", keys({typed("abc"), key(VK::home), typed("\x1bxy")}), "xy", 4},
      {"ctrl-y", keys({typed("abc"), key(VK::left), withCtrl('Y')}), "", 2},
      {"tab is one cell", typed("a\tb"), "a\tb", 5},
      {"ctrl-z ignored", keys({typed("a"), withCtrl('Z'), typed("b")}), "ab", 4},
      {"shift home acts as home",
       keys({typed("abc"), key(VK::home, controlKey::shiftPressed), typed("x")}), "xbc", 3},
      {"ctrl or alt with left ignored",
       keys({typed("abc"), key(VK::left, controlKey::leftCtrlPressed),
             key(VK::left, controlKey::leftAltPressed), typed("x")}),
       "abcx", 6},
      {"alt with a letter ignored", keys({typed("a"), withAlt('x'), typed("b")}), "ab", 4},
      {"other special keys ignored",
       keys({typed("a"), key(VK::up), key(VK::del), key(VK::f1), key(VK::f12), typed("b")}), "ab",
       4},
      {"alt 6 5", keys({typed("x"), altCode("65")}), "xA", 4},
      {"alt 3 2 1 wraps", altCode("321"), "A", 3},
      {"alt 0 types nothing", keys({altCode("0"), typed("b")}), "b", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    start({});
    EXPECT_EQ(editLine(c.keys), c.line + "\r\n");
    EXPECT_EQ(standardInput.bufferPosition, 0);
    EXPECT_EQ(row(0), "=>" + c.line);
    EXPECT_EQ(cursorWhileEditing, (ConsoleCoord{c.editColumn, 0}));
    EXPECT_EQ(cursor(), (ConsoleCoord{0, 1}));  // Enter goes below, wherever the edit stood
  }
}

TEST_F(LineEditorTest, CtrlJAndCtrlGAreStoredAndOnlyTheLineFeedIsEchoedInTheCurrentColours) {
  start({.attributeWord = 0x1F});
  setTextColor(14);
  EXPECT_EQ(editLine(keys({typed("a"), withCtrl('J'), withCtrl('G'), typed("b")})), "a\n\ab\r\n");
  EXPECT_EQ(row(0), "=>a");
  EXPECT_EQ(row(1), "   b");
  EXPECT_EQ(console->cell(3, 1), (ConsoleCell{'b', 0x1E}));
  EXPECT_EQ(cursorWhileEditing, (ConsoleCoord{4, 1}));
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 2}));
}

TEST_F(LineEditorTest, At254CharactersFurtherKeysAreDroppedButOverwriteAndEnterWork) {
  EXPECT_EQ(editLine(typed(std::string(254, 'x') + "yz")), std::string(254, 'x') + "\r\n");
  EXPECT_EQ(row(3), std::string(256 - 240, 'x'));  // two of them belong to the prompt
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 4}));
  start({});
  EXPECT_EQ(editLine(keys({typed(std::string(254, 'x')), key(VirtualKey::left), typed("yz")})),
            std::string(253, 'x') + "y\r\n");
}

TEST_F(LineEditorTest, WrappedLineHomeStopsTheCursorAtTheLeftColumn) {
  start({.columns = 10, .rows = 5});
  EXPECT_EQ(editLine(keys({typed("abcdefghij"), key(VirtualKey::home)})), "abcdefghij\r\n");
  EXPECT_EQ(row(1), "ij");
  EXPECT_EQ(cursorWhileEditing, (ConsoleCoord{0, 1}));
}

}  // namespace
}  // namespace qv
