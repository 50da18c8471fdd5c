#include "console/web/keyboard.h"

#include <emscripten.h>

#include <algorithm>
#include <cstdint>

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

// The page's terminal: bytes from onData (Ctrl-C noted apart, so that a queue full of typed keys
// cannot hide it), Alt keypad digits and Alt's release from its key
// events (kept from the terminal, which would send something else for them; the page's own key
// rules, its pageKeys, come first), a note of a new size from onResize. Whatever waits for the page
// is woken by each.
//
// The JavaScript in these macros goes through the C preprocessor, which spaces out what it does
// not know as one token: no arrow functions, no strict comparisons, no regular expressions (nor
// does clang-format, which is kept away from them).
// clang-format off
EM_JS(void, qv_listenToPage, (), {
  const term = Module['terminal'];
  const input = {items : [], resized : false, interrupt : false, wake : null, altDigits : false};
  const pageKeys = Module['pageKeys'];
  const wake = function() {
    const waiting = input.wake;
    input.wake = null;
    if (waiting) waiting();
  };
  const encoder = new TextEncoder();
  input.listeners = [
    term.onData(function(data) {
      for (const b of encoder.encode(data)) input.items.push(b);
      if (data.indexOf(String.fromCharCode(3)) >= 0) input.interrupt = true;
      wake();
    }),
    term.onResize(function() {
      input.resized = true;
      wake();
    })
  ];
  term.attachCustomKeyEventHandler(function(ev) {
    if (pageKeys && !pageKeys(ev)) return false;
    const code = ev.code || "";
    const digit = code.length == 7 && code.startsWith('Numpad') ? code.charCodeAt(6) - 48 : -1;
    if (ev.type == 'keydown' && ev.altKey && digit >= 0 && digit <= 9) {
      input.items.push(256 + digit);
      input.altDigits = true;
    } else if (ev.type == 'keyup' && ev.key == 'Alt' && input.altDigits) {
      input.items.push(266);
      input.altDigits = false;
    } else {
      return true;
    }
    ev.preventDefault();
    wake();
    return false;
  });
  Module['qvInput'] = input;
  // What a resumed run throws (a JavaScript error, a trap) would reach no one but the browser's
  // console: the page hears of it as of an abort.
  Asyncify.whenDone().catch(function(error) {
    if (Module['onAbort']) Module['onAbort'](error);
  });
});

EM_JS(void, qv_stopListening, (), {
  const input = Module['qvInput'];
  if (!input) return;
  for (const listener of input.listeners) listener.dispose();
  Module['terminal'].attachCustomKeyEventHandler(Module['pageKeys'] || function() { return true; });
  Module['qvInput'] = null;
});

EM_JS(int, qv_takeInput, (int* items, int limit), {
  const input = Module['qvInput'];
  if (!input) return 0;
  const taken = input.items.splice(0, limit);
  HEAP32.set(taken, items >> 2);
  return taken.length;
});

EM_JS(int, qv_takeInterrupt, (), {
  const input = Module['qvInput'];
  if (!input || !input.interrupt) return 0;
  input.interrupt = false;
  return 1;
});

EM_JS(int, qv_takeResize, (int* size), {
  const input = Module['qvInput'];
  if (!input || !input.resized) return 0;
  input.resized = false;
  const term = Module['terminal'];
  HEAP32[size >> 2] = term.cols;
  HEAP32[(size >> 2) + 1] = term.rows;
  return 1;
});

// The one place the program waits for the page: the module's stack is put aside (Asyncify) and
// the browser goes on until a key, a new size or the timeout (milliseconds, -1 for none). 1 when
// something came.
EM_ASYNC_JS(int, qv_waitForPage, (int timeoutMs), {
  const input = Module['qvInput'];
  if (!input || input.items.length > 0 || input.resized) return 1;
  return await new Promise(function(resolve) {
    let timer = null;
    input.wake = function() {
      clearTimeout(timer);
      resolve(1);
    };
    if (timeoutMs >= 0) {
      timer = setTimeout(function() {
        input.wake = null;
        resolve(0);
      }, timeoutMs);
    }
  });
});

// clang-format on

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
