#include "console/terminal/key_decoder.h"

#include <algorithm>
#include <chrono>
#include <string_view>

#include "console/key_codes.h"
#include "console/terminal/cp437.h"
#include "console/terminal/key_tables.h"

namespace qv {

namespace {

bool isCsiParameter(std::uint8_t b) {
  return b >= 0x20 && b <= 0x3F;
}  // with intermediates
bool isCsiFinal(std::uint8_t b) {
  return b >= 0x40 && b <= 0x7E;
}
bool isUtf8Lead(std::uint8_t b) {
  return b >= 0xC2 && b <= 0xF4;
}

// The string reports a terminal sends: ESC ] (OSC: colours, titles, the clipboard) and ESC P
// (DCS: settings, capabilities, its version). Both always begin with a parameter byte, which
// keeps Alt+] and Alt+P followed by a letter apart from them.
bool opensString(std::uint8_t introducer, std::uint8_t first) {
  if (introducer == ']') return first >= '0' && first <= '9';
  return introducer == 'P' && first >= 0x20 && first <= 0x3F;
}

// A mouse report in the oldest encoding, ESC [ M and three bytes of 32 and above.
constexpr std::size_t kMouseReportLength = 6;

// The numeric parameters of a sequence body; false when it holds anything else (private
// markers, sub-parameters, intermediates), which no key sends.
struct Parameters {
  static constexpr int capacity = 4;
  int values[capacity] = {};
  int count = 0;
  int at(int i, int fallback) const { return i < count && values[i] > 0 ? values[i] : fallback; }
};

bool parseParameters(const std::uint8_t* body, std::size_t length, Parameters& out) {
  out.count = length > 0 ? 1 : 0;
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint8_t b = body[i];
    if (b == ';') {
      if (out.count == Parameters::capacity) return false;
      ++out.count;
    } else if (b >= '0' && b <= '9') {
      int& value = out.values[out.count - 1];
      if (value < 10000) value = value * 10 + (b - '0');
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

std::int64_t KeyDecoder::steadyMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void KeyDecoder::feed(std::span<const std::uint8_t> bytes, KeyQueue& queue) {
  for (std::uint8_t b : bytes) feedByte(b, queue);
  if (needMore()) lastHeldByteMs_ = clock_();
  if (!bytes.empty()) {
    lineOpen_ = bytes.back() != charCode::lineFeed && bytes.back() != charCode::carriageReturn;
  }
}

void KeyDecoder::finishInput(KeyQueue& queue) {
  flushPending(queue);
  if (source_ != Source::text || !lineOpen_) return;
  const std::uint8_t lineEnd = charCode::lineFeed;
  feed({&lineEnd, 1}, queue);
}

bool KeyDecoder::needMore() const {
  return heldCount_ > 0 || discarding_ || string_ != StringState::none;
}

int KeyDecoder::msUntilFlush() const {
  if (!needMore()) return -1;
  return int(std::clamp<std::int64_t>(lastHeldByteMs_ + escTimeoutMs - clock_(), 0, escTimeoutMs));
}

void KeyDecoder::flushIfDue(KeyQueue& queue) {
  if (msUntilFlush() == 0) flushPending(queue);
}

void KeyDecoder::emitSetCharacter(std::uint8_t byte, std::uint32_t alt, KeyQueue& queue) {
  const int character = singleByteSet_.characterOf(byte);
  if (character < 0) return;
  lastWasCarriageReturn_ = false;
  queue.push(
      keyRecord(VirtualKey::none, ScanCode::none, static_cast<std::uint8_t>(character), alt));
}

void KeyDecoder::reset() {
  cursorReports_.reset();
  heldCount_ = 0;
  lastWasCarriageReturn_ = false;
  lineOpen_ = false;
  discarding_ = false;
  string_ = StringState::none;
}

void KeyDecoder::flushPending(KeyQueue& queue) {
  discarding_ = false;
  string_ = StringState::none;
  if (heldCount_ == 0) return;
  // Esc, or Esc with '[', 'O', ']' or 'P' that no more bytes followed: keys typed with Alt.
  // Anything longer is a sequence cut short, and a partial UTF-8 character is invalid: both
  // dropped.
  if (held_[0] == charCode::escape && heldCount_ == 1) {
    emitByte(charCode::escape, 0, queue);
  } else if (held_[0] == charCode::escape && heldCount_ == 2 && held_[1] < 0x80) {
    emitByte(held_[1], controlKey::leftAltPressed, queue);
  }
  heldCount_ = 0;
}

// A string ends with BEL or ST (ESC \). An Esc followed by anything else cuts the string short
// and starts a sequence of its own.
void KeyDecoder::skipStringByte(std::uint8_t byte, KeyQueue& queue) {
  if (string_ == StringState::escape) {
    string_ = StringState::none;
    if (byte == '\\') return;
    held_[heldCount_++] = charCode::escape;
    return feedByte(byte, queue);
  }
  if (byte == charCode::bell) string_ = StringState::none;
  if (byte == charCode::escape) string_ = StringState::escape;
}

void KeyDecoder::feedByte(std::uint8_t byte, KeyQueue& queue) {
  if (string_ != StringState::none) return skipStringByte(byte, queue);
  if (discarding_) return discardByte(byte, queue);
  if (heldCount_ == 0) {
    if (byte < 0x80 && byte != charCode::escape) return emitByte(byte, 0, queue);
    lastWasCarriageReturn_ = false;  // a CR and an LF with something between are two line ends
    if (singleByteSet_.active() && byte >= 0x80) return emitSetCharacter(byte, 0, queue);
    // A stray continuation byte or an impossible lead is invalid UTF-8: dropped.
    if (byte == charCode::escape || isUtf8Lead(byte)) held_[heldCount_++] = byte;
    return;
  }
  if (heldCount_ == sizeof held_) {  // only a parameter list grows this long: skip to its end
    heldCount_ = 0;
    discarding_ = true;
    return discardByte(byte, queue);
  }
  held_[heldCount_++] = byte;
  const std::string_view held(reinterpret_cast<const char*>(held_), heldCount_);
  switch (ownKeys_.match(held, queue)) {
    case OwnKeys::Match::whole:
      heldCount_ = 0;
      return;
    case OwnKeys::Match::begun:
      return;
    case OwnKeys::Match::none:
      break;
  }
  switch (decodeHeld(queue)) {
    case Step::needMore:
      return;
    case Step::done:
      heldCount_ = 0;
      return;
    case Step::reprocessLast:  // the byte cannot continue the sequence: it starts afresh
      heldCount_ = 0;
      return feedByte(byte, queue);
  }
}

void KeyDecoder::discardByte(std::uint8_t byte, KeyQueue& queue) {
  if (isCsiParameter(byte)) return;
  discarding_ = false;
  if (!isCsiFinal(byte)) feedByte(byte, queue);
}

KeyDecoder::Step KeyDecoder::decodeHeld(KeyQueue& queue) {
  if (held_[0] == charCode::escape) return decodeEscape(queue);
  return decodeUtf8(0, 0, queue);
}

KeyDecoder::Step KeyDecoder::decodeEscape(KeyQueue& queue) {
  const std::uint8_t second = held_[1];
  if (second == '[') return decodeCsi(queue);
  if (second == 'O') return decodeSs3(queue);
  if (second == ']' || second == 'P') {
    if (heldCount_ == 2) return Step::needMore;
    if (opensString(second, held_[2])) {
      string_ = StringState::body;
      return Step::done;
    }
    // Alt+] or Alt+P with a key close behind: the key counts. The Alt key (which the line
    // editor ignores) is dropped, so that one byte never gives two keys.
    return Step::reprocessLast;
  }
  if (second == charCode::escape) {  // Esc pressed twice: the first one stands alone
    emitByte(charCode::escape, 0, queue);
    return Step::reprocessLast;
  }
  if (singleByteSet_.active() && second >= 0x80) {
    emitSetCharacter(second, controlKey::leftAltPressed, queue);
    return Step::done;
  }
  if (isUtf8Lead(second)) return decodeUtf8(1, controlKey::leftAltPressed, queue);
  if (second < 0x80) emitByte(second, controlKey::leftAltPressed, queue);
  return Step::done;
}

KeyDecoder::Step KeyDecoder::decodeCsi(KeyQueue& queue) {
  if (heldCount_ == 2) return Step::needMore;
  const std::uint8_t last = held_[heldCount_ - 1];
  if (held_[2] == 'M') {  // a mouse report: its three bytes are no keys
    if (heldCount_ > 3 && last < 0x20) return Step::reprocessLast;
    return heldCount_ < kMouseReportLength ? Step::needMore : Step::done;
  }
  if (held_[2] == '[') {  // the Linux console's F1..F5: ESC [ [ A..E
    if (heldCount_ == 3) return Step::needMore;
    if (last >= 'A' && last <= 'E') pushKey(functionKeyOf(last - 'A' + 1), 0, queue);
    return last >= 0x20 && last <= 0x7E ? Step::done : Step::reprocessLast;
  }
  if (isCsiParameter(last) && !isRxvtShiftedKey()) return Step::needMore;
  if (!isCsiParameter(last) && !isCsiFinal(last)) return Step::reprocessLast;

  Parameters p;
  if (!parseParameters(held_ + 2, heldCount_ - 3, p)) return Step::done;
  const std::uint32_t modifiers = modifierState(p.at(1, 1));
  switch (last) {
    case '~':
      pushKey(tildeKey(p.at(0, 0)), modifiers, queue);
      break;
    // rxvt marks modified editing keys by the final byte instead of a parameter
    case '$':
      pushKey(tildeKey(p.at(0, 0)), controlKey::shiftPressed, queue);
      break;
    case '^':
      pushKey(tildeKey(p.at(0, 0)), controlKey::leftCtrlPressed, queue);
      break;
    case '@':
      pushKey(tildeKey(p.at(0, 0)), controlKey::leftCtrlPressed | controlKey::shiftPressed, queue);
      break;
    case 'a':
    case 'b':
    case 'c':
    case 'd':  // rxvt: Shift plus a cursor key
      pushKey(letterKey(static_cast<std::uint8_t>(last - 'a' + 'A')), controlKey::shiftPressed,
              queue);
      break;
    case 'Z':  // Shift+Tab
      queue.push(
          keyRecord(VirtualKey::tab, ScanCode::tab, charCode::tab, controlKey::shiftPressed));
      break;
    case 'R':
      // The answer to the program's own query; a late one still is, unless it could be a key.
      if (p.count == 2 && cursorReports_.claims(p.at(0, 1))) {
        cursorReports_.answer(p.at(0, 1), p.at(1, 1));
        break;
      }
      // A cursor position report (row;column R) that some other program asked for is no key;
      // only row 1 can also be a modified F3.
      if (p.at(0, 1) > 1) break;
      [[fallthrough]];
    default:
      if (p.at(0, 1) == 1) pushKey(letterKey(last), modifiers, queue);
  }
  return Step::done;
}

// rxvt ends a Shift+editing key with '$' (ESC [ 7 $), which elsewhere would introduce more.
bool KeyDecoder::isRxvtShiftedKey() const {
  if (held_[heldCount_ - 1] != '$' || heldCount_ < 4) return false;
  for (std::size_t i = 2; i + 1 < heldCount_; ++i) {
    if (held_[i] < '0' || held_[i] > '9') return false;
  }
  return true;
}

KeyDecoder::Step KeyDecoder::decodeSs3(KeyQueue& queue) {
  if (heldCount_ == 2) return Step::needMore;
  const std::uint8_t last = held_[heldCount_ - 1];
  if (last >= 0x30 && last <= 0x3F) return Step::needMore;  // old forms such as ESC O 5 P
  if (!isCsiFinal(last)) return Step::reprocessLast;

  Parameters p;
  if (!parseParameters(held_ + 2, heldCount_ - 3, p)) return Step::done;
  const std::uint32_t modifiers = modifierState(p.count > 0 ? p.values[p.count - 1] : 1);
  // The numeric keypad in application mode sends its characters as ESC O j..y and X.
  static constexpr std::string_view keypad = "*+,-./0123456789";
  if (last == 'M') {  // keypad Enter
    queue.push(keyRecord(VirtualKey::enter, ScanCode::enter, charCode::carriageReturn,
                         controlKey::enhancedKey));
  } else if (last >= 'j' && last <= 'y') {
    emitByte(static_cast<std::uint8_t>(keypad[last - 'j']), 0, queue);
  } else if (last == 'X') {
    emitByte('=', 0, queue);
  } else if (last >= 'a' && last <= 'd') {  // rxvt: Ctrl plus a cursor key
    pushKey(letterKey(static_cast<std::uint8_t>(last - 'a' + 'A')), controlKey::leftCtrlPressed,
            queue);
  } else {
    pushKey(letterKey(last), modifiers, queue);
  }
  return Step::done;
}

KeyDecoder::Step KeyDecoder::decodeUtf8(std::size_t start, std::uint32_t alt, KeyQueue& queue) {
  const std::uint8_t lead = held_[start];
  const std::size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  const std::size_t have = heldCount_ - start;
  if (have == 1) return Step::needMore;
  const std::uint8_t b = held_[heldCount_ - 1];
  // The second byte's range also excludes overlong forms, surrogates and code points past
  // U+10FFFF.
  std::uint8_t low = 0x80, high = 0xBF;
  if (have == 2) {
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  }
  if (b < low || b > high) return Step::reprocessLast;
  if (have < length) return Step::needMore;

  char32_t codePoint = lead & (0x7F >> length);
  for (std::size_t i = start + 1; i < heldCount_; ++i) {
    codePoint = codePoint << 6 | (held_[i] & 0x3F);
  }
  // Glyphs of the control range are text too (a typed § is 21), but not those whose code the
  // line editor would act on (a typed arrow as Esc, a note as Enter). 127 is text here, though
  // a keyboard sends it for Backspace.
  const int character = cp437FromUnicode(codePoint);
  if (character > 0 && charCode::typedAsText(static_cast<std::uint8_t>(character))) {
    lastWasCarriageReturn_ = false;
    queue.push(
        keyRecord(VirtualKey::none, ScanCode::none, static_cast<std::uint8_t>(character), alt));
  }
  return Step::done;
}

void KeyDecoder::emitByte(std::uint8_t byte, std::uint32_t alt, KeyQueue& queue) {
  const bool lineEnd = byte == charCode::carriageReturn || byte == charCode::lineFeed;
  if (source_ == Source::text && lineEnd) {
    const bool secondHalf = byte == charCode::lineFeed && lastWasCarriageReturn_;
    lastWasCarriageReturn_ = byte == charCode::carriageReturn;
    if (!secondHalf) {
      queue.push(keyRecord(VirtualKey::enter, ScanCode::enter, charCode::carriageReturn, alt));
    }
    return;
  }
  lastWasCarriageReturn_ = false;
  const ScanCode scan = scanCodeOf(byte);  // only ASCII comes here
  switch (byte) {
    case charCode::carriageReturn:
      queue.push(keyRecord(VirtualKey::enter, ScanCode::enter, byte, alt));
      return;
    case charCode::backspace:
    case charCode::del:
      queue.push(keyRecord(VirtualKey::back, ScanCode::backspace, charCode::backspace, alt));
      return;
    case charCode::tab:
      queue.push(keyRecord(VirtualKey::tab, ScanCode::tab, byte, alt));
      return;
    case charCode::escape:
      queue.push(keyRecord(VirtualKey::escape, ScanCode::escape, byte, alt));
      return;
    case 0:  // Ctrl+Space
      queue.push(
          keyRecord(VirtualKey::space, ScanCode::space, 0, alt | controlKey::leftCtrlPressed));
      return;
    default:
      queue.push(keyRecord(virtualKeyOf(byte), scan, byte, alt));
  }
}

}  // namespace qv
