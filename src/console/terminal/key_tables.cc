#include "console/terminal/key_tables.h"

#include <array>
#include <cstddef>
#include <string_view>

#include "console/key_codes.h"

namespace qv {

namespace {

// Scan codes of a US keyboard for the printable ASCII characters: a shifted character shares
// its key with the unshifted one.
constexpr std::array<std::uint8_t, 128> makeScanCodes() {
  std::array<std::uint8_t, 128> codes{};
  struct KeyRow {
    std::string_view plain, shifted;
    std::uint8_t first;
  };
  constexpr KeyRow rows[] = {{"1234567890-=", "!@#$%^&*()_+", 2},
                             {"qwertyuiop[]", "QWERTYUIOP{}", 16},
                             {"asdfghjkl;'`", "ASDFGHJKL:\"~", 30},
                             {"\\zxcvbnm,./", "|ZXCVBNM<>?", 43}};
  for (const KeyRow& row : rows) {
    for (std::size_t i = 0; i < row.plain.size(); ++i) {
      codes[static_cast<std::size_t>(row.plain[i])] = static_cast<std::uint8_t>(row.first + i);
      codes[static_cast<std::size_t>(row.shifted[i])] = static_cast<std::uint8_t>(row.first + i);
    }
  }
  codes[' '] = static_cast<std::uint8_t>(ScanCode::space);
  for (int c = 1; c <= 26; ++c)
    codes[static_cast<std::size_t>(c)] = codes[static_cast<std::size_t>('a' + c - 1)];
  return codes;
}

constexpr std::array<std::uint8_t, 128> kScanCodes = makeScanCodes();

constexpr NamedKey kNoKey{VirtualKey::none, ScanCode::none, false};
constexpr NamedKey kUp{VirtualKey::up, ScanCode::up, true};
constexpr NamedKey kDown{VirtualKey::down, ScanCode::down, true};
constexpr NamedKey kRight{VirtualKey::right, ScanCode::right, true};
constexpr NamedKey kLeft{VirtualKey::left, ScanCode::left, true};
constexpr NamedKey kHome{VirtualKey::home, ScanCode::home, true};
constexpr NamedKey kEnd{VirtualKey::end, ScanCode::end, true};
constexpr NamedKey kInsert{VirtualKey::insert, ScanCode::insert, true};
constexpr NamedKey kDelete{VirtualKey::del, ScanCode::del, true};
constexpr NamedKey kPageUp{VirtualKey::pageUp, ScanCode::pageUp, true};
constexpr NamedKey kPageDown{VirtualKey::pageDown, ScanCode::pageDown, true};
constexpr NamedKey kKeypad5{VirtualKey::clear, ScanCode::keypad5, false};

// CSI n ~: the editing block (xterm, rxvt, screen, the Linux console) and the function keys,
// indexed by n.
constexpr NamedKey kTildeKeys[] = {
    kNoKey,
    kHome,
    kInsert,
    kDelete,
    kEnd,
    kPageUp,
    kPageDown,
    kHome,
    kEnd,
    kNoKey,
    kNoKey,
    functionKeyOf(1),
    functionKeyOf(2),
    functionKeyOf(3),
    functionKeyOf(4),
    functionKeyOf(5),
    kNoKey,
    functionKeyOf(6),
    functionKeyOf(7),
    functionKeyOf(8),
    functionKeyOf(9),
    functionKeyOf(10),
    kNoKey,
    functionKeyOf(11),
    functionKeyOf(12),
};

}  // namespace

ScanCode scanCodeOf(std::uint8_t c) {
  return static_cast<ScanCode>(kScanCodes[c & 0x7F]);
}

VirtualKey virtualKeyOf(std::uint8_t c) {
  if (c >= 'a' && c <= 'z') return VirtualKey(c - 'a' + 'A');
  if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return VirtualKey(c);
  if (c >= 1 && c <= 26) return VirtualKey(c - 1 + 'A');  // Ctrl plus a letter
  if (c == ' ') return VirtualKey::space;
  return VirtualKey::none;
}

InputRecord keyRecord(VirtualKey key, ScanCode scan, std::uint8_t character, std::uint32_t state) {
  return {InputEventType::key, KeyEventRecord{true, 1, key, scan, character, state}};
}

NamedKey namedKeyOf(VirtualKey key) {
  if (key >= VirtualKey::f1 && key <= VirtualKey::f12) {
    return functionKeyOf(static_cast<int>(key) - static_cast<int>(VirtualKey::f1) + 1);
  }
  for (const NamedKey& named :
       {kUp, kDown, kRight, kLeft, kHome, kEnd, kInsert, kDelete, kPageUp, kPageDown}) {
    if (named.key == key) return named;
  }
  return kNoKey;
}

void pushKey(const NamedKey& key, std::uint32_t state, KeyQueue& queue) {
  if (key.key == VirtualKey::none) return;  // a sequence of no key this console knows
  if (key.enhanced) state |= controlKey::enhancedKey;
  queue.push(keyRecord(key.key, key.scan, 0, state));
}

NamedKey letterKey(std::uint8_t final) {
  if (final >= 'P' && final <= 'S') return functionKeyOf(final - 'P' + 1);
  constexpr std::string_view letters = "ABCDHFE";
  constexpr NamedKey keys[] = {kUp, kDown, kRight, kLeft, kHome, kEnd, kKeypad5};
  const std::size_t at = letters.find(static_cast<char>(final));
  return at == std::string_view::npos ? kNoKey : keys[at];
}

NamedKey tildeKey(int n) {
  return n >= 0 && n < static_cast<int>(std::size(kTildeKeys)) ? kTildeKeys[n] : kNoKey;
}

std::uint32_t modifierState(int parameter) {
  if (parameter < 2) return 0;
  const int mask = parameter - 1;
  std::uint32_t state = 0;
  if (mask & 1) state |= controlKey::shiftPressed;
  if (mask & 2) state |= controlKey::leftAltPressed;
  if (mask & 4) state |= controlKey::leftCtrlPressed;
  return state;
}

}  // namespace qv
