#include "console/web/keyboard.h"

#include <algorithm>
#include <cstdint>

#include "web/page.h"

namespace qv {

namespace {

// What the page queues for the program, one number each: a byte the terminal sent, an Alt
// keypad digit, or Alt let go.
constexpr int altDigitBase = 256;
constexpr int altReleased = altDigitBase + 10;
constexpr int interruptByte = 0x03;  // what a terminal sends for Ctrl-C
constexpr int takeLimit = 256;

InputRecord pageKeyEvent(int item) {
  InputRecord record{};
  record.eventType = InputEventType::key;
  if (item == altReleased) {
    record.keyEvent = {false, 1, VirtualKey::alt, ScanCode::alt, 0, 0};
  } else {
    record.keyEvent = {true,           1, numpadKey(item - altDigitBase),
                       ScanCode::none, 0, controlKey::leftAltPressed};
  }
  return record;
}

}  // namespace

void WebKeyboard::open() {
  *this = WebKeyboard();
  qv_listenToPage();
}

void WebKeyboard::close() {
  qv_stopListening();
}

void WebKeyboard::take() {
  if (qv_takeInterrupt() != 0) interrupted_ = true;
  for (;;) {
    const int room = std::min(KeyDecoder::room(queue_), takeLimit);
    if (room <= 0) return;
    int items[takeLimit];
    const int count = qv_takeInput(items, room);
    if (count == 0) return;
    std::uint8_t bytes[takeLimit];
    int held = 0;  // bytes gathered for the decoder, fed before any key event of the page's
    for (int i = 0; i <= count; ++i) {
      if (i < count && items[i] == interruptByte) {
        interrupted_ = true;
        continue;
      }
      if (i < count && items[i] < altDigitBase) {
        bytes[held++] = static_cast<std::uint8_t>(items[i]);
        continue;
      }
      decoder_.feed({bytes, static_cast<std::size_t>(held)}, queue_);
      held = 0;
      if (i == count) break;
      // A key event of its own: a sequence cut short before it waits no longer.
      if (decoder_.needMore()) decoder_.flushPending(queue_);
      queue_.push(pageKeyEvent(items[i]));
    }
  }
}

void WebKeyboard::wait() {
  if (qv_waitForPage(decoder_.msUntilFlush()) == 0) decoder_.flushIfDue(queue_);  // a lone Esc
  take();
}

bool WebKeyboard::takeResize(int& columns, int& rows) {
  int size[2] = {0, 0};
  if (qv_takeResize(size) == 0) return false;
  columns = size[0];
  rows = size[1];
  return true;
}

}  // namespace qv
