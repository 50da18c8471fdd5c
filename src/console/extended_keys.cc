// The second code of a special key: the scan code, remapped by the modifier held with it.
#include "console/extended_keys.h"

#include <array>
#include <initializer_list>

#include "console/console_state.h"

namespace qv {

namespace {

using ExtendedTable = std::array<std::uint8_t, 256>;  // indexed by the scan code

// Consecutive scan codes first..last that map to consecutive codes from firstCode on.
struct ScanSpan {
  ScanCode first;
  ScanCode last;
  std::uint8_t firstCode;
};

constexpr ScanSpan key(ScanCode scanCode, std::uint8_t code) {
  return {scanCode, scanCode, code};
}

// Scan codes no span names keep their own value.
constexpr ExtendedTable makeTable(std::initializer_list<ScanSpan> spans) {
  ExtendedTable table{};
  for (int i = 0; i < 256; ++i) table[i] = static_cast<std::uint8_t>(i);
  for (const ScanSpan& span : spans) {
    const int first = static_cast<int>(span.first);
    for (int scan = first; scan <= static_cast<int>(span.last); ++scan) {
      table[scan] = static_cast<std::uint8_t>(span.firstCode + (scan - first));
    }
  }
  return table;
}

using enum ScanCode;

constexpr ExtendedTable plainKeys = makeTable({{f11, f12, 133}});

constexpr ExtendedTable shiftKeys = makeTable({{f1, f10, 84}, {f11, f12, 135}});

constexpr ExtendedTable ctrlKeys = makeTable({
    key(tab, 148),
    key(slash, 149),
    key(keypadMultiply, 150),
    {f1, f10, 94},
    key(home, 119),
    key(up, 141),
    key(pageUp, 132),
    key(keypadMinus, 142),
    key(left, 115),
    key(keypad5, 143),
    key(right, 116),
    key(keypadPlus, 78),
    key(end, 117),
    key(down, 145),
    key(pageDown, 118),
    key(insert, 146),
    key(del, 147),
    {f11, f12, 137},
});

constexpr ExtendedTable altKeys = makeTable({
    {digit1, equals, 120},
    key(enter, 166),
    key(slash, 164),
    {f1, f10, 104},
    key(home, 151),
    key(up, 152),
    key(pageUp, 153),
    key(left, 155),
    key(right, 157),
    key(end, 159),
    key(down, 160),
    key(pageDown, 161),
    key(insert, 162),
    key(del, 163),
    {f11, f12, 139},
});

// Alt held while keypad digits are typed spells a character code, delivered when Alt goes up.
void collectAltCode(VirtualKey key) {
  const int digit = static_cast<int>(key) - static_cast<int>(VirtualKey::numpad0);
  consoleState.altCodeActive = true;
  consoleState.altCodeValue =
      static_cast<std::uint8_t>((consoleState.altCodeValue * 10 + digit) % 256);
}

const ExtendedTable& tableFor(std::uint32_t controlKeyState) {
  if (controlKeyState & controlKey::anyAlt) return altKeys;
  if (controlKeyState & controlKey::anyCtrl) return ctrlKeys;
  if (controlKeyState & controlKey::shiftPressed) return shiftKeys;
  return plainKeys;
}

}  // namespace

std::uint8_t translateExtendedKey(ScanCode scanCode, std::uint32_t controlKeyState,
                                  VirtualKey virtualKeyCode) {
  if ((controlKeyState & controlKey::anyAlt) && isNumpadDigit(virtualKeyCode)) {
    collectAltCode(virtualKeyCode);
  }
  const auto scan = static_cast<std::uint16_t>(scanCode);
  if (scan > 0xFF) return static_cast<std::uint8_t>(scan);  // no table lists it
  return tableFor(controlKeyState)[scan];
}

}  // namespace qv
