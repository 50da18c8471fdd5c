// The key tables: the key event a terminal's byte or sequence stands for, as a US keyboard in
// the Windows console would report it (virtual key, scan code, modifiers).
#pragma once

#include <cstdint>

#include "console/console_platform.h"
#include "console/terminal/key_queue.h"

namespace qv {

struct NamedKey {
  VirtualKey key;
  ScanCode scan;
  bool enhanced;  // the cursor and editing block, not the numeric keypad
};

constexpr NamedKey functionKeyOf(int n) {  // 1..12
  if (n == 11) return {VirtualKey::f11, ScanCode::f11, false};
  if (n == 12) return {VirtualKey::f12, ScanCode::f12, false};
  return {static_cast<VirtualKey>(int(VirtualKey::f1) + n - 1),
          static_cast<ScanCode>(int(ScanCode::f1) + n - 1), false};
}

// The scan code of a printable ASCII character or a Ctrl plus a letter (byte & 0x7F).
ScanCode scanCodeOf(std::uint8_t c);
// The virtual key of a character: letters and digits have their own codes.
VirtualKey virtualKeyOf(std::uint8_t c);
InputRecord keyRecord(VirtualKey key, ScanCode scan, std::uint8_t character, std::uint32_t state);
// The keys a terminal's description names, by their virtual key.
NamedKey namedKeyOf(VirtualKey key);
void pushKey(const NamedKey& key, std::uint32_t state, KeyQueue& queue);
// The cursor-key letters shared by the CSI and SS3 forms: A to D, H, F, E, P to S.
NamedKey letterKey(std::uint8_t final);
// CSI n ~: the editing block (xterm, rxvt, screen, the Linux console) and the function keys.
NamedKey tildeKey(int n);
// xterm's modifier parameter: its value minus one is a mask of Shift 1, Alt 2, Ctrl 4.
std::uint32_t modifierState(int parameter);

}  // namespace qv
