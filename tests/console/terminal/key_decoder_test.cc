#include "console/terminal/key_decoder.h"

#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace qv {
namespace {

struct Key {
  VirtualKey key;
  ScanCode scan;
  std::uint8_t character;
  std::uint32_t state;
  bool operator==(const Key&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Key& k) {
  return os << "{vk " << int(k.key) << ", scan " << int(k.scan) << ", char " << int(k.character)
            << ", state 0x" << std::hex << k.state << std::dec << "}";
}
using Keys = std::vector<Key>;

constexpr std::uint32_t kShift = controlKey::shiftPressed;
constexpr std::uint32_t kAlt = controlKey::leftAltPressed;
constexpr std::uint32_t kCtrl = controlKey::leftCtrlPressed;

Key letter(char c, std::uint8_t character, int scan, std::uint32_t state = 0) {
  return {VirtualKey(c), ScanCode(scan), character, state};
}
Key editing(VirtualKey key, ScanCode scan, std::uint32_t state = 0) {
  return {key, scan, 0, state | controlKey::enhancedKey};
}
Key function(int n, std::uint32_t state = 0) {
  return {VirtualKey(0x6F + n), ScanCode(n <= 10 ? 58 + n : 76 + n), 0, state};
}
Key with(Key k, std::uint32_t state) {
  k.state |= state;
  return k;
}
Key glyph(std::uint8_t character, std::uint32_t state = 0) {
  return {VirtualKey::none, ScanCode::none, character, state};
}

const Key kA = letter('A', 'a', 30), kX = letter('X', 'x', 45), kQ = letter('Q', 'q', 16);
const Key kUp = editing(VirtualKey::up, ScanCode::up);
const Key kHome = editing(VirtualKey::home, ScanCode::home);
const Key kEnd = editing(VirtualKey::end, ScanCode::end);
const Key kLeft = editing(VirtualKey::left, ScanCode::left);
const Key kDel = editing(VirtualKey::del, ScanCode::del);
const Key kTab{VirtualKey::tab, ScanCode::tab, 9, 0};
const Key kEnter{VirtualKey::enter, ScanCode::enter, 13, 0};
const Key kEsc{VirtualKey::escape, ScanCode::escape, 27, 0};
const Key kBack{VirtualKey::back, ScanCode::backspace, 8, 0};

Keys drain(KeyQueue& queue) {
  Keys keys;
  InputRecord r;
  while (queue.pop(r)) {
    EXPECT_TRUE(r.eventType == InputEventType::key && r.keyEvent.keyDown);
    const KeyEventRecord& e = r.keyEvent;
    keys.push_back({e.virtualKeyCode, e.virtualScanCode, e.asciiChar, e.controlKeyState});
  }
  return keys;
}

std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A terminal's description and the locale add to a decoder: its own key strings (a VT52's Up
// here) before the built-in forms, and the characters of a single-byte set as the console's (ä,
// è, §; none for the currency sign).
enum class Decoder { builtIn, text, vt52Latin1 };

Keys decodeInParts(std::string_view text, std::size_t split, Decoder setup) {
  KeyDecoder decoder(setup == Decoder::text ? KeyDecoder::Source::text
                                            : KeyDecoder::Source::terminal);
  if (setup == Decoder::vt52Latin1) {
    std::array<std::int16_t, 128> latin1;
    latin1.fill(-1);
    latin1[0xE4 - 0x80] = 132;
    latin1[0xE8 - 0x80] = 138;
    latin1[0xA7 - 0x80] = 21;
    decoder.addKey("\033A", VirtualKey::up);
    decoder.useSingleByteSet(latin1);
  }
  KeyQueue queue;
  decoder.feed(bytesOf(text.substr(0, split)), queue);
  decoder.feed(bytesOf(text.substr(split)), queue);
  EXPECT_FALSE(decoder.needMore()) << "a complete input leaves nothing held";
  return drain(queue);
}

// Octal escapes, so that a letter after an escape is not read as one more hex digit.
TEST(KeyDecoder, TerminalAndTextBytesWholeAndSplitAtEveryByte) {
  const std::string hold = "\x1b[" + std::string(1000, '1') + ";" + std::string(500, '2');
  const std::string tooLong = hold + "~q" + hold + "\rq";
  using VK = VirtualKey;
  const struct {
    const char* name;
    std::string_view bytes;
    Keys keys;
    Decoder setup = Decoder::builtIn;
  } cases[] = {
      {"characters",
       "aZ7? ",
       {kA, letter('Z', 'Z', 44), letter('7', '7', 8), Key{VK::none, ScanCode(53), '?', 0},
        Key{VK::space, ScanCode(57), ' ', 0}}},
      {"control codes", "\001\031\t", {letter('A', 1, 30), letter('Y', 25, 21), kTab}},
      {"CR is Enter, LF is Ctrl-J, both backspaces",
       "\r\n\177\b",
       {kEnter, letter('J', 10, 36), kBack, kBack}},
      // The forms of xterm, rxvt, screen and the Linux console.
      {"cursor keys, home and end",
       "\033[A\033OA\033[D\033[H\033[1~\033[7~\033OH\033[F\033[4~\033[8~\033OF",
       {kUp, kUp, kLeft, kHome, kHome, kHome, kHome, kEnd, kEnd, kEnd, kEnd}},
      {"editing block",
       "\033[2~\033[3~\033[6~\033OM",
       {editing(VK::insert, ScanCode::insert), kDel, editing(VK::pageDown, ScanCode::pageDown),
        with(kEnter, controlKey::enhancedKey)}},
      {"function keys",
       "\033OP\033[11~\033[[A\033OS\033[15~\033[21~\033[23~\033[24~",
       {function(1), function(1), function(1), function(4), function(5), function(10), function(11),
        function(12)}},
      // The parameter minus one is a mask of Shift 1, Alt 2, Ctrl 4.
      // Shift+F3 and Ctrl+F3 look like cursor reports: no report is awaited here.
      {"modifiers",
       "\033[1;5D\033[1;3D\033[1;2H\033[1;8A\033[3;5~\033[15;2~\033[1;5P\033[1;2R\033[1;5R",
       {with(kLeft, kCtrl), with(kLeft, kAlt), with(kHome, kShift),
        with(kUp, kShift | kAlt | kCtrl), with(kDel, kCtrl), function(5, kShift),
        function(1, kCtrl), function(3, kShift), function(3, kCtrl)}},
      {"rxvt modifiers",
       "\033[7$\033[3^\033[d\033Oa\033[Z",
       {with(kHome, kShift), with(kDel, kCtrl), with(kLeft, kShift), with(kUp, kCtrl),
        with(kTab, kShift)}},
      {"alt is Esc first",
       "\033x\0331\033\177\033\303\251\033\033b",
       {with(kX, kAlt), letter('1', '1', 2, kAlt), with(kBack, kAlt), glyph(130, kAlt), kEsc,
        letter('B', 'b', 48, kAlt)}},
      // UTF-8 gives the code page 437 byte, § and ¶ too; a character with none, or the glyph of
      // a code the line editor acts on (an arrow for Esc, a note for Enter), types nothing.
      {"utf-8",
       "\303\251\342\225\224\317\200\342\214\202\342\202\254\342\206\220a"
       "\302\247\302\266\342\231\252",
       {glyph(130), glyph(201), glyph(227), glyph(127), kA, glyph(21), glyph(20)}},
      // Cut short, a stray continuation, overlong forms, a surrogate, beyond U+10FFFF, cut by a
      // sequence: dropped, and the byte that broke it starts afresh.
      {"invalid utf-8",
       "\303(\200a\340\200\200a\300\200a\355\240\200a\364\220\200\200a\303\033[A",
       {Key{VK::none, ScanCode(10), '(', 0}, kA, kA, kA, kA, kA, kUp}},
      // Unknown, mouse, device attributes, focus, bracketed paste, an unasked cursor report.
      {"sequences of no key",
       "\033[99~x\033[<0;10;5Mx\033[?1;2cx\033[I\033[Ox\033[200~a\033[201~"
       "\033[1;5Xx\033[[Zx\033[12;40Rx\033[12;5Rx",
       {kX, kX, kX, kX, kA, kX, kX, kX, kX}},
      // Reports a terminal sends when another program left them on: mouse reports (the
      // oldest form carries raw bytes, even above 127), colours, settings, its version; a
      // string cut short by another sequence gives way to it. A key close behind Alt+] or
      // Alt+P stays a key.
      {"terminal reports",
       "\033[M !!x\033[M#\377\377x\033]11;rgb:0000/0000/0000\007x\033]10;rgb:f/f/f\033\\x"
       "\033P1$r0m\033\\x\033P>|term(1)\033\\x\033]0;a\033[A",
       {kX, kX, kX, kX, kX, kX, kUp}},
      {"alt with the string introducers", "\033]a\033Px", {kA, kX}},
      {"broken by enter", "\033[1\r", {kEnter}},
      {"longer than the hold: dropped whole", tooLong, {kQ, kEnter, kQ}},
      // Piped text: CR, LF and CR LF are each one line end; with a key between them, two.
      {"text line ends",
       "a\r\nx\n\r\n\ra\n\n\r\033[A\n",
       {kA, kEnter, kX, kEnter, kEnter, kEnter, kA, kEnter, kEnter, kEnter, kUp, kEnter},
       Decoder::text},
      // The built-in forms stay; ESC with a single-byte character is Alt with it.
      {"own key strings and a single-byte set",
       "\033Ax\033[A\344\350\244\247\033\344",
       {kUp, kX, kUp, glyph(132), glyph(138), glyph(21), glyph(132, kAlt)},
       Decoder::vt52Latin1}};
  for (const auto& c : cases) {
    for (std::size_t split = 0; split <= c.bytes.size(); ++split) {
      EXPECT_EQ(decodeInParts(c.bytes, split, c.setup), c.keys) << c.name << ", split at " << split;
    }
  }
}

std::int64_t now = 0;  // the decoders' clock here, in milliseconds
std::int64_t clock() {
  return now;
}

// What is held once no byte has come for 100 ms: each case's bytes arrive 60 ms apart, and the
// wait counts from the last of them.
TEST(KeyDecoder, HeldSequenceAfterTimeout) {
  const std::pair<std::string_view, Keys> cases[] = {
      {"\033", {kEsc}},
      {"\033[", {{VirtualKey::none, ScanCode(26), '[', kAlt}}},  // Alt+[ is ESC [ and no more
      {"\033[1;", {}},                                           // a sequence cut short
      {"\033O5", {}},
      {"\033]", {{VirtualKey::none, ScanCode(27), ']', kAlt}}},
      {"\033]11;rgb:00", {}},  // reports cut short
      {"\033[M !", {}},
      {"\033\342\225", {}}};
  for (const auto& [bytes, keys] : cases) {
    KeyDecoder decoder(KeyDecoder::Source::terminal, clock);
    KeyQueue queue;
    EXPECT_EQ(decoder.msUntilFlush(), -1);
    for (std::uint8_t byte : bytes) {
      decoder.feed({&byte, 1}, queue);
      now += 60;
    }
    EXPECT_EQ(decoder.msUntilFlush(), 40) << testing::PrintToString(bytes);
    now += 39;
    decoder.flushIfDue(queue);
    EXPECT_TRUE(decoder.needMore() && queue.empty()) << testing::PrintToString(bytes);
    now += 1;
    decoder.flushIfDue(queue);
    EXPECT_EQ(drain(queue), keys) << testing::PrintToString(bytes);
    decoder.feed(bytesOf("q"), queue);  // what follows is decoded afresh
    EXPECT_EQ(drain(queue), (Keys{kQ}));
  }
}

// ESC [ row ; column R answers the program's cursor questions, in the order asked, also when it
// comes after the program stopped waiting (late: never typed, and the next wait is longer),
// even long after; once every question is answered, or 10 s after the last, ESC [ 1 ; 5 R is
// Ctrl+F3 again. A
// terminal that never answered is not worth asking after one question went unanswered, until a
// late answer comes.
TEST(KeyDecoder, CursorAnswersAreToldFromKeysAlsoWhenLateAndTheWaitAdapts) {
  struct Step {
    int questions;  // asked now
    bool giveUp;    // the caller stops waiting for the last one
    int afterMs;    // then this much later
    const char* typed;
    Keys keys;
    int answers;  // the question the newest answer answers (0: none came)
    int waitMs;   // cursorWaitMs() afterwards
    bool worthAsking;
  };
  const Key ctrlF3 = function(3, kCtrl);
  const std::vector<std::pair<const char*, std::vector<Step>>> cases = {
      {"on time", {{1, false, 100, "\033[1;5Rx\033[1;5R", {kX, ctrlF3}, 1, 1000, true}}},
      {"late, then on time",
       {{1, true, 1500, "\033[3;1Rx", {kX}, 1, 3000, true},
        {1, false, 10, "\033[4;1R\033[1;5R", {ctrlF3}, 2, 3000, true}}},
      {"two asked, answered in order",
       {{2, true, 700, "\033[1;5R", {}, 1, 1400, true},
        {0, false, 1, "\033[1;5R\033[1;5R", {ctrlF3}, 2, 1402, true}}},
      {"later than 10 s, then asked again",
       {{1, true, 11000, "\033[25;3R", {}, 1, 4000, true},
        {1, false, 10, "\033[40;3R", {}, 2, 4000, true}}},
      {"never answered", {{1, true, 10000, "\033[1;5R", {ctrlF3}, 0, 1000, false}}},
      {"never answered, until late", {{1, true, 2000, "\033[1;5R", {}, 1, 4000, true}}},
  };
  for (const auto& [what, steps] : cases) {
    SCOPED_TRACE(what);
    KeyDecoder decoder(KeyDecoder::Source::terminal, clock);
    KeyQueue queue;
    for (const Step& step : steps) {
      for (int i = 0; i < step.questions; ++i) decoder.expectCursorReport();
      if (step.giveUp) decoder.stopAwaitingCursorReport();
      now += step.afterMs;
      decoder.feed(bytesOf(step.typed), queue);
      EXPECT_EQ(drain(queue), step.keys);
      const auto report = decoder.takeCursorReport();
      EXPECT_EQ(report ? report->question : 0, step.answers);
      EXPECT_EQ(decoder.cursorWaitMs(), step.waitMs);
      EXPECT_EQ(decoder.cursorWorthAsking(), step.worthAsking);
    }
  }
}

}  // namespace
}  // namespace qv
