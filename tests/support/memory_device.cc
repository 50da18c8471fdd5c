#include "support/memory_device.h"

#include <utility>

#include "channels/file_driver.h"
#include "console/key_codes.h"

namespace qv {

namespace {

struct NamedKey {
  VirtualKey key;
  ScanCode scanCode;
  std::uint8_t character;
  bool enhanced;  // on the grey block beside the letters, not on the keypad
};

constexpr ScanCode scan(int code) {
  return static_cast<ScanCode>(code);
}

// The keypad digits share their scan codes with the cursor keys they double as.
constexpr ScanCode keypadDigitScanCodes[10] = {
    ScanCode::insert,  ScanCode::end,   ScanCode::down, ScanCode::pageDown, ScanCode::left,
    ScanCode::keypad5, ScanCode::right, ScanCode::home, ScanCode::up,       ScanCode::pageUp};

constexpr NamedKey namedKeys[] = {
    {VirtualKey::back, ScanCode::backspace, charCode::backspace, false},
    {VirtualKey::tab, ScanCode::tab, '\t', false},
    {VirtualKey::enter, ScanCode::enter, charCode::carriageReturn, false},
    {VirtualKey::escape, ScanCode::escape, charCode::escape, false},
    {VirtualKey::end, ScanCode::end, 0, true},
    {VirtualKey::home, ScanCode::home, 0, true},
    {VirtualKey::left, ScanCode::left, 0, true},
    {VirtualKey::up, ScanCode::up, 0, true},
    {VirtualKey::right, ScanCode::right, 0, true},
    {VirtualKey::del, ScanCode::del, 0, true},
};

NamedKey lookUp(VirtualKey key) {
  for (const NamedKey& named : namedKeys) {
    if (named.key == key) return named;
  }
  for (int digit = 0; digit <= 9; ++digit) {
    if (key == numpadKey(digit)) {
      return {key, keypadDigitScanCodes[digit], static_cast<std::uint8_t>('0' + digit), false};
    }
  }
  for (int n = 1; n <= 12; ++n) {
    if (key == functionKey(n)) {
      return {key,
              n <= 10 ? scan(static_cast<int>(ScanCode::f1) + n - 1)
                      : scan(static_cast<int>(ScanCode::f11) + n - 11),
              0, false};
    }
  }
  return {key, ScanCode::none, 0, false};
}

// The virtual key of a typed character: letters and digits are their own upper-case codes.
VirtualKey keyOfCharacter(std::uint8_t c) {
  if (c >= 'a' && c <= 'z') return static_cast<VirtualKey>(c - 'a' + 'A');
  if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ')
    return static_cast<VirtualKey>(c);
  return VirtualKey::none;
}

}  // namespace

MemoryDevice::MemoryDevice(int columns, int rows, std::uint16_t attributeWord,
                           GridConsole::Clock clock)
    : console_(*this, clock) {
  start_.columns = columns;
  start_.rows = rows;
  start_.attributeWord = attributeWord;
}

void MemoryDevice::pushKey(bool down, VirtualKey key, ScanCode scanCode, std::uint8_t character,
                           std::uint32_t controlKeyState) {
  InputRecord record{};
  record.eventType = InputEventType::key;
  record.keyEvent = {down, 1, key, scanCode, character, controlKeyState};
  events_.push_back(record);
}

void MemoryDevice::pressKey(VirtualKey key, ScanCode scanCode, std::uint8_t character,
                            std::uint32_t controlKeyState) {
  pushKey(true, key, scanCode, character, controlKeyState);
  pushKey(false, key, scanCode, character, controlKeyState);
}

void MemoryDevice::pressKey(VirtualKey key, std::uint32_t controlKeyState) {
  const NamedKey named = lookUp(key);
  if (named.enhanced) controlKeyState |= controlKey::enhancedKey;
  pressKey(key, named.scanCode, named.character, controlKeyState);
}

void MemoryDevice::pressCtrl(char letter) {
  const std::uint8_t upper = static_cast<std::uint8_t>(letter & ~0x20);
  pressKey(static_cast<VirtualKey>(upper), ScanCode::none, static_cast<std::uint8_t>(upper & 0x1F),
           controlKey::leftCtrlPressed);
}

void MemoryDevice::typeText(std::string_view text) {
  for (const char ch : text) {
    const auto c = static_cast<std::uint8_t>(ch);
    switch (c) {
      case charCode::backspace:
        pressKey(VirtualKey::back);
        break;
      case '\t':
        pressKey(VirtualKey::tab);
        break;
      case charCode::carriageReturn:
        pressKey(VirtualKey::enter);
        break;
      case charCode::escape:
        pressKey(VirtualKey::escape);
        break;
      default:
        if (c >= 1 && c <= 26) {
          pressCtrl(static_cast<char>('A' + c - 1));
        } else {
          pressKey(keyOfCharacter(c), ScanCode::none, c);
        }
        break;
    }
  }
}

void MemoryDevice::typeAltCode(std::string_view digits, std::uint32_t altKey) {
  pushKey(true, VirtualKey::alt, ScanCode::alt, 0, altKey);
  for (const char digit : digits) {
    const NamedKey named = lookUp(numpadKey(digit - '0'));
    pressKey(named.key, named.scanCode, 0, altKey);
  }
  pushKey(false, VirtualKey::alt, ScanCode::alt, 0, 0);
}

std::string MemoryDevice::rowText(int row) const {
  std::string text;
  if (!console_.started()) return text;
  for (const ConsoleCell& c : grid().row(row)) text.push_back(static_cast<char>(c.character));
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

Handle MemoryDevice::standardHandle(std::int32_t which) {
  static_assert(inputHandle == 0 && outputHandle == 1 && errorHandle == 2);
  return standardSlot(which);
}

Handle MemoryDevice::openConsoleOutput() {
  return consoleOutHandle;
}

bool MemoryDevice::prepareSession(Handle output, StartState& start) {
  start = start_;
  return output == outputHandle || output == consoleOutHandle;
}

void MemoryDevice::resize(int columns, int rows) {
  start_.columns = columns;
  start_.rows = rows;
  resized_ = console_.started();
}

DeviceEvent MemoryDevice::takeEvent(ScreenGrid&, bool urgentOnly) {
  if (urgentOnly || !std::exchange(resized_, false)) return {};
  return DeviceEvent::resized(start_.columns, start_.rows);
}

bool MemoryDevice::countKeys(std::uint32_t& count) {
  count = static_cast<std::uint32_t>(events_.size());
  return true;
}

bool MemoryDevice::readKey(InputRecord& record) {
  if (events_.empty()) return false;
  record = events_.front();
  events_.pop_front();
  return true;
}

void MemoryDevice::waitForKeys(ScreenGrid&) {
  if (!events_.empty()) return;
  if (!onExhausted_) throw InputExhausted{};
  onExhausted_(*this);
}

}  // namespace qv
