#include "console/win/keyboard.h"

#include <algorithm>

namespace qv {

namespace {

constexpr int readLimit = 256;

InputRecord fromConsoleRecord(const INPUT_RECORD& record) {
  InputRecord converted{};
  converted.eventType = static_cast<InputEventType>(record.EventType);
  if (record.EventType == KEY_EVENT) {
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    converted.keyEvent = {key.bKeyDown != FALSE,
                          key.wRepeatCount,
                          static_cast<VirtualKey>(key.wVirtualKeyCode),
                          static_cast<ScanCode>(key.wVirtualScanCode),
                          static_cast<std::uint8_t>(key.uChar.AsciiChar),
                          key.dwControlKeyState};
  }
  return converted;
}

}  // namespace

void WindowsKeyboard::open(HANDLE input, bool console) {
  *this = WindowsKeyboard();
  input_ = input;
  console_ = console;
}

bool WindowsKeyboard::count(std::uint32_t& events) {
  if (!console_) {
    events = static_cast<std::uint32_t>(queue_.size());
    return true;
  }
  DWORD waiting = 0;
  if (!GetNumberOfConsoleInputEvents(input_, &waiting)) return false;
  events = waiting;
  return true;
}

bool WindowsKeyboard::read(InputRecord& record) {
  if (!console_) return queue_.pop(record);
  INPUT_RECORD raw{};
  DWORD got = 0;
  if (!ReadConsoleInputA(input_, &raw, 1, &got) || got != 1) return false;
  record = fromConsoleRecord(raw);
  return true;
}

void WindowsKeyboard::wait(HANDLE wake) {
  if (!console_) {
    if (queue_.empty() && !ended_) readText();
    return;
  }
  const HANDLE watched[2] = {input_, wake};
  WaitForMultipleObjects(2, watched, FALSE, INFINITE);
}

void WindowsKeyboard::readText() {
  const int room = std::min(KeyDecoder::room(queue_), readLimit);
  if (room <= 0) return;
  std::uint8_t bytes[readLimit];
  DWORD got = 0;
  // A pipe whose writer has gone fails with a broken pipe: the text has ended like a file's.
  if (!ReadFile(input_, bytes, static_cast<DWORD>(room), &got, nullptr) || got == 0) {
    ended_ = true;
    decoder_.finishInput(queue_);
    return;
  }
  decoder_.feed({bytes, got}, queue_);
}

}  // namespace qv
