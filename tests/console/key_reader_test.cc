// The key reader: key events become key codes, special keys two codes, and the extended codes
// follow the modifier held with the key.
#include <vector>

#include "console_fixture.h"

namespace qv {
namespace {

using KeyReaderTest = ConsoleTest;

constexpr std::uint32_t alt = controlKey::leftAltPressed;
constexpr std::uint32_t rightAlt = controlKey::rightAltPressed;
constexpr std::uint32_t ctrl = controlKey::rightCtrlPressed;
constexpr std::uint32_t shift = controlKey::shiftPressed;

TEST_F(KeyReaderTest, ExtendedCodesByModifier) {
  struct Case {
    int scanCode;
    std::uint32_t modifiers;
    int code;
  };
  const Case cases[] = {
      // No modifier: only F11 and F12 change; the cursor keys and F1-F10 keep their scan codes.
      {87, 0, 133},
      {88, 0, 134},
      {71, 0, 71},
      {75, 0, 75},
      {59, 0, 59},
      {68, 0, 68},
      // Shift.
      {59, shift, 84},
      {68, shift, 93},
      {87, shift, 135},
      {88, shift, 136},
      {71, shift, 71},
      // Ctrl.
      {15, ctrl, 148},
      {53, ctrl, 149},
      {55, ctrl, 150},
      {59, ctrl, 94},
      {68, ctrl, 103},
      {71, ctrl, 119},
      {72, ctrl, 141},
      {73, ctrl, 132},
      {74, ctrl, 142},
      {75, ctrl, 115},
      {76, ctrl, 143},
      {77, ctrl, 116},
      {78, ctrl, 78},
      {79, ctrl, 117},
      {80, ctrl, 145},
      {81, ctrl, 118},
      {82, ctrl, 146},
      {83, ctrl, 147},
      {87, ctrl, 137},
      {88, ctrl, 138},
      {75, controlKey::leftCtrlPressed, 115},
      // Alt, which wins over Ctrl and Shift.
      {2, alt, 120},
      {13, alt, 131},
      {28, alt, 166},
      {53, alt, 164},
      {59, alt, 104},
      {68, alt, 113},
      {71, alt, 151},
      {72, alt, 152},
      {73, alt, 153},
      {74, alt, 74},
      {75, alt, 155},
      {76, alt, 76},
      {77, alt, 157},
      {78, alt, 78},
      {79, alt, 159},
      {80, alt, 160},
      {81, alt, 161},
      {82, alt, 162},
      {83, alt, 163},
      {87, alt, 139},
      {88, alt, 140},
      {75, rightAlt | ctrl | shift, 155},
      {75, ctrl | shift, 115},
      // Unlisted scan codes stay; only the low byte counts.
      {30, alt, 30},
      {14, ctrl, 14},
      {0x150, 0, 0x50},
      {0x14B, ctrl, 0x4B},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(
        translateExtendedKey(static_cast<ScanCode>(c.scanCode), c.modifiers, VirtualKey::none),
        c.code)
        << "scan " << c.scanCode << " modifiers " << c.modifiers;
  }
  EXPECT_FALSE(consoleState.altCodeActive);  // no keypad digit was among them
}

TEST_F(KeyReaderTest, AltKeypadDigitsCollectACodeModulo256) {
  for (int d : {3, 2, 1}) translateExtendedKey(ScanCode::none, alt, numpadKey(d));
  EXPECT_TRUE(consoleState.altCodeActive);
  EXPECT_EQ(consoleState.altCodeValue, 65);
  translateExtendedKey(ScanCode::none, ctrl, numpadKey(9));  // not while Alt is up
  EXPECT_EQ(consoleState.altCodeValue, 65);
}

// The next codes; the in-memory console throws if the reader waits for a key not typed.
std::vector<int> nextCodes(int count) {
  std::vector<int> codes;
  for (int i = 0; i < count; ++i) codes.push_back(nextKeyCode());
  return codes;
}

TEST_F(KeyReaderTest, SpecialKeysGiveTwoCodesWithoutWaitingForMoreKeys) {
  console->pressKey(VirtualKey::left, ctrl);
  EXPECT_EQ(nextCodes(2), (std::vector<int>{0, 115}));
  // A key held down: its second code must come before the key is released.
  console->pushEvent({InputEventType::key,
                      {true, 1, VirtualKey::home, ScanCode::home, 0, controlKey::enhancedKey}});
  EXPECT_EQ(nextCodes(2), (std::vector<int>{0, 71}));
}

TEST_F(KeyReaderTest, ModifiersLocksAndOtherEventsGiveNoCode) {
  for (VirtualKey k : {VirtualKey::shift, VirtualKey::control, VirtualKey::alt,
                       VirtualKey::capsLock, VirtualKey::numLock, VirtualKey::scrollLock}) {
    console->pressKey(k, ScanCode::none, 0);
  }
  for (InputEventType t : {InputEventType::mouse, InputEventType::focus, InputEventType::menu,
                           InputEventType::windowBufferSize}) {
    console->pushEvent({t, {}});
  }
  console->typeText("q");
  EXPECT_EQ(nextCodes(1), (std::vector<int>{'q'}));
}

TEST_F(KeyReaderTest, EventsBehindTheFirstKeyStayQueued) {
  console->typeText("ab");
  EXPECT_TRUE(pollKeyEvents());
  EXPECT_EQ(console->pendingEvents(), 3u);  // a up, b down, b up
  EXPECT_TRUE(pollKeyEvents());
  EXPECT_EQ(console->pendingEvents(), 3u);
  EXPECT_EQ(nextCodes(2), (std::vector<int>{'a', 'b'}));
}

TEST_F(KeyReaderTest, SpecialKeyWithoutAnExtendedCodeDoesNotSwallowTheNextKey) {
  console->pressKey(VirtualKey::none, ScanCode::none, 0);
  console->typeText("K");  // 75, the extended code of Left
  EXPECT_EQ(nextCodes(1), (std::vector<int>{'K'}));
}

TEST_F(KeyReaderTest, AltCodeCarriesOverUntilAltIsReleased) {
  InputRecord altDown{InputEventType::key, {true, 1, VirtualKey::alt, ScanCode::none, 0, alt}};
  console->pushEvent(altDown);
  console->pressKey(numpadKey(6), ScanCode::right, 0, alt);
  EXPECT_FALSE(pollKeyEvents());
  console->pressKey(numpadKey(5), ScanCode::keypad5, 0, alt);
  console->pushEvent({InputEventType::key, {false, 1, VirtualKey::alt, ScanCode::none, 0, 0}});
  EXPECT_EQ(nextCodes(1), (std::vector<int>{'A'}));
  EXPECT_FALSE(consoleState.altCodeActive);
}

}  // namespace
}  // namespace qv
