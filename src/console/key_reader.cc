// The key reader: key events from the console's input queue become key codes, special keys as
// two codes (0, then the extended code), Alt plus keypad digits as the character they spell.
#include "console/key_reader.h"

#include "console/console_platform.h"
#include "console/console_state.h"
#include "console/extended_keys.h"
#include "console/key_codes.h"

namespace qv {

namespace {

bool isModifierOrLock(VirtualKey key) {
  switch (key) {
    case VirtualKey::shift:
    case VirtualKey::control:
    case VirtualKey::alt:
    case VirtualKey::capsLock:
    case VirtualKey::numLock:
    case VirtualKey::scrollLock:
      return true;
    default:
      return false;
  }
}

void setPending(std::uint8_t code, bool extended) {
  consoleState.pendingKey = code;
  consoleState.extendedKeyPending = extended;
}

// True when the key left a code to deliver.
bool takeKeyDown(const KeyEventRecord& key) {
  if (isModifierOrLock(key.virtualKeyCode)) return false;
  const bool plainCharacter =
      (key.controlKeyState & (controlKey::enhancedKey | controlKey::leftAltPressed)) == 0;
  if (key.asciiChar != 0 && plainCharacter) {
    setPending(key.asciiChar, false);
  } else if (key.asciiChar == charCode::carriageReturn && key.virtualKeyCode == VirtualKey::enter) {
    setPending(charCode::carriageReturn, false);  // the keypad Enter
  } else {
    setPending(translateExtendedKey(key.virtualScanCode, key.controlKeyState, key.virtualKeyCode),
               true);
  }
  if ((isNumpadDigit(key.virtualKeyCode) && (key.controlKeyState & controlKey::anyAlt)) ||
      consoleState.pendingKey == 0) {
    // Swallowed: a digit of an Alt code, or a special key without an extended code (a lone
    // 0 would make the line editor take the next key typed as the second half).
    setPending(0, false);
    return false;
  }
  return true;
}

bool takeKeyUp(const KeyEventRecord& key) {
  ConsoleState& s = consoleState;
  if (key.virtualKeyCode != VirtualKey::alt || !s.altCodeActive || s.altCodeValue == 0) {
    return false;
  }
  setPending(s.altCodeValue, false);
  s.altCodeActive = false;
  s.altCodeValue = 0;
  return true;
}

bool takeEvent(const InputRecord& record) {
  if (record.eventType != InputEventType::key) return false;
  return record.keyEvent.keyDown ? takeKeyDown(record.keyEvent) : takeKeyUp(record.keyEvent);
}

std::uint32_t waitingEvents(ConsolePlatform& platform, Handle input) {
  std::uint32_t count = 0;
  if (!platform.numberOfInputEvents(input, count)) return 0;
  return count;
}

}  // namespace

bool pollKeyEvents() {
  if (consoleState.pendingKey != 0) return true;
  ConsolePlatform& platform = consolePlatform();
  const Handle input = standardInput.handle;
  while (waitingEvents(platform, input) > 0) {
    InputRecord record{};
    // A failed read yields no key; the next poll tries again.
    if (!platform.readInput(input, record)) return false;
    if (takeEvent(record)) return true;
  }
  return false;
}

std::uint8_t nextKeyCode() {
  ConsoleState& s = consoleState;
  // The second half of a special key is already here: waiting for input would stall on it.
  do {
    if (s.pendingKey == 0) consolePlatform().waitForInput(standardInput.handle);
  } while (!pollKeyEvents());
  if (s.extendedKeyPending) {
    s.extendedKeyPending = false;
    return charCode::none;
  }
  const std::uint8_t code = s.pendingKey;
  s.pendingKey = 0;
  return code;
}

}  // namespace qv
