#include "console/terminal/key_decoder.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_fixture.h"

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
  return os << "{vk 0x" << std::hex << int(k.key) << std::dec << ", scan " << int(k.scan)
            << ", char " << int(k.character) << ", state 0x" << std::hex << k.state << std::dec
            << "}";
}

using Keys = std::vector<Key>;

constexpr std::uint32_t kShift = controlKey::shiftPressed;
constexpr std::uint32_t kAlt = controlKey::leftAltPressed;
constexpr std::uint32_t kCtrl = controlKey::leftCtrlPressed;
constexpr std::uint32_t kEnhanced = controlKey::enhancedKey;

VirtualKey vk(char c) {
  return VirtualKey(c);
}
ScanCode sc(int code) {
  return ScanCode(code);
}

Key editing(VirtualKey key, ScanCode scan, std::uint32_t state = 0) {
  return {key, scan, 0, state | kEnhanced};
}
Key function(int n, std::uint32_t state = 0) {
  const int scan = n <= 10 ? 58 + n : 76 + n;
  return {VirtualKey(0x6F + n), sc(scan), 0, state};
}

const Key kUp = editing(VirtualKey::up, ScanCode::up);
const Key kHome = editing(VirtualKey::home, ScanCode::home);
const Key kEnd = editing(VirtualKey::end, ScanCode::end);
const Key kEnter{VirtualKey::enter, ScanCode::enter, 13, 0};
const Key kEsc{VirtualKey::escape, ScanCode::escape, 27, 0};

Keys drain(KeyQueue& queue) {
  Keys keys;
  InputRecord record;
  while (queue.pop(record)) {
    EXPECT_EQ(record.eventType, InputEventType::key);
    EXPECT_TRUE(record.keyEvent.keyDown);
    EXPECT_EQ(record.keyEvent.repeatCount, 1);
    const KeyEventRecord& e = record.keyEvent;
    keys.push_back({e.virtualKeyCode, e.virtualScanCode, e.asciiChar, e.controlKeyState});
  }
  return keys;
}

std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

Keys decodeInParts(std::string_view text, std::size_t split,
                   KeyDecoder::Source source = KeyDecoder::Source::terminal) {
  KeyDecoder decoder(source);
  KeyQueue queue;
  decoder.feed(bytesOf(text.substr(0, split)), queue);
  decoder.feed(bytesOf(text.substr(split)), queue);
  EXPECT_FALSE(decoder.needMore()) << "a complete input leaves nothing held";
  return drain(queue);
}

struct Case {
  const char* name;
  std::string_view bytes;
  Keys keys;
};

const Key kA{vk('A'), sc(30), 'a', 0};
const Key kX{vk('X'), sc(45), 'x', 0};
const Key kCtrlJ{vk('J'), sc(36), 10, 0};
const Key kBack{VirtualKey::back, ScanCode::backspace, 8, 0};
Key glyph(std::uint8_t character) {
  return {VirtualKey::none, ScanCode::none, character, 0};
}

// Octal escapes, so that a letter after an escape is not read as one more hex digit.
const std::vector<Case>& terminalCases() {
  static const std::vector<Case> cases = {
      // Typed characters and control codes: the character byte with no modifier bits.
      {"characters",
       "aZ7? ",
       {kA,
        {vk('Z'), sc(44), 'Z', 0},
        {vk('7'), sc(8), '7', 0},
        {VirtualKey::none, sc(53), '?', 0},
        {VirtualKey::space, sc(57), ' ', 0}}},
      {"control codes",
       "\001\023\031\032\t",
       {{vk('A'), sc(30), 1, 0},
        {vk('S'), sc(31), 19, 0},
        {vk('Y'), sc(21), 25, 0},
        {vk('Z'), sc(44), 26, 0},
        {VirtualKey::tab, ScanCode::tab, 9, 0}}},
      {"CR is Enter, LF is Ctrl-J", "\r\n", {kEnter, kCtrlJ}},
      {"both backspaces", "\177\b", {kBack, kBack}},
      // The cursor and editing block in the forms of xterm, rxvt, screen and the Linux console.
      {"cursor keys",
       "\033[A\033OA\033[B\033OC\033[D",
       {kUp, kUp, editing(VirtualKey::down, ScanCode::down),
        editing(VirtualKey::right, ScanCode::right), editing(VirtualKey::left, ScanCode::left)}},
      {"home", "\033[H\033[1~\033[7~\033OH", {kHome, kHome, kHome, kHome}},
      {"end", "\033[F\033[4~\033[8~\033OF", {kEnd, kEnd, kEnd, kEnd}},
      {"editing block",
       "\033[2~\033[3~\033[5~\033[6~\033OM",
       {editing(VirtualKey::insert, ScanCode::insert),
        editing(VirtualKey::del, ScanCode::del),
        editing(VirtualKey::pageUp, ScanCode::pageUp),
        editing(VirtualKey::pageDown, ScanCode::pageDown),
        {VirtualKey::enter, ScanCode::enter, 13, kEnhanced}}},
      {"f1 to f4",
       "\033OP\033OQ\033OR\033OS\033[11~\033[12~\033[13~\033[14~",
       {function(1), function(2), function(3), function(4), function(1), function(2), function(3),
        function(4)}},
      {"f5 to f12",
       "\033[15~\033[17~\033[18~\033[19~\033[20~\033[21~\033[23~\033[24~",
       {function(5), function(6), function(7), function(8), function(9), function(10), function(11),
        function(12)}},
      {"linux console f1 to f5",
       "\033[[A\033[[B\033[[C\033[[D\033[[E",
       {function(1), function(2), function(3), function(4), function(5)}},
      // Modifiers: the parameter minus one is a mask of Shift 1, Alt 2, Ctrl 4.
      {"modifiers",
       "\033[1;5D\033[1;3D\033[1;2H\033[1;8A\033[3;5~\033[15;2~\033[1;5P\033[1;5R",
       {editing(VirtualKey::left, ScanCode::left, kCtrl),
        editing(VirtualKey::left, ScanCode::left, kAlt),
        editing(VirtualKey::home, ScanCode::home, kShift),
        editing(VirtualKey::up, ScanCode::up, kShift | kAlt | kCtrl),
        editing(VirtualKey::del, ScanCode::del, kCtrl), function(5, kShift), function(1, kCtrl),
        function(3, kCtrl)}},
      {"rxvt modifiers",
       "\033[7$\033[3^\033[d\033Oa\033[Z",
       {editing(VirtualKey::home, ScanCode::home, kShift),
        editing(VirtualKey::del, ScanCode::del, kCtrl),
        editing(VirtualKey::left, ScanCode::left, kShift),
        editing(VirtualKey::up, ScanCode::up, kCtrl),
        {VirtualKey::tab, ScanCode::tab, 9, kShift}}},
      // Alt plus a key: Esc first.
      {"alt",
       "\033x\0331\033\177\033\303\251",
       {{vk('X'), sc(45), 'x', kAlt},
        {vk('1'), sc(2), '1', kAlt},
        {VirtualKey::back, ScanCode::backspace, 8, kAlt},
        {VirtualKey::none, ScanCode::none, 130, kAlt}}},
      {"esc twice", "\033\033b", {kEsc, {vk('B'), sc(48), 'b', kAlt}}},
      // UTF-8: the code page 437 byte of the character; 127 stays a character.
      {"utf-8",
       "\303\251\303\274\342\225\224\317\200\342\214\202",
       {glyph(130), glyph(129), glyph(201), glyph(227), glyph(127)}},
      // No byte for the euro sign; glyphs of control codes are not typed as editing keys.
      {"dropped characters", "\342\202\254\342\206\220\342\231\252a", {kA}},
      // Invalid UTF-8 is dropped, and the byte that broke it starts afresh: cut short, a stray
      // continuation, overlong forms, a surrogate, beyond U+10FFFF, cut by a sequence.
      {"invalid utf-8",
       "\303(\200a\340\200\200a\300\200a\355\240\200a\364\220\200\200a\303\033[A",
       {{VirtualKey::none, sc(10), '(', 0}, kA, kA, kA, kA, kA, kUp}},
      // Sequences of no key (unknown, mouse, device attributes, focus, bracketed paste, cursor
      // report unasked): consumed whole, nothing typed.
      {"unknown sequences",
       "\033[99~x\033[<0;10;5Mx\033[?1;2cx\033[I\033[Ox\033[200~a\033[201~\033[1;5Xx\033[[Zx"
       "\033[12;40Rx",
       {kX, kX, kX, kX, kA, kX, kX, kX}},
      {"broken by enter", "\033[1\r", {kEnter}},
  };
  return cases;
}

TEST(KeyDecoder, TerminalSequencesWholeAndSplitAtEveryByte) {
  for (const Case& c : terminalCases()) {
    for (std::size_t split = 0; split <= c.bytes.size(); ++split) {
      EXPECT_EQ(decodeInParts(c.bytes, split), c.keys) << c.name << ", split at " << split;
    }
  }
}

TEST(KeyDecoder, TextSourceMakesEveryLineEndOneEnter) {
  const std::string_view text = "ab\r\ncd\n\r\n\rx\n\n";
  const Key a{vk('A'), sc(30), 'a', 0}, b{vk('B'), sc(48), 'b', 0};
  const Key c{vk('C'), sc(46), 'c', 0}, d{vk('D'), sc(32), 'd', 0}, x{vk('X'), sc(45), 'x', 0};
  const Keys expected = {a, b, kEnter, c, d, kEnter, kEnter, kEnter, x, kEnter, kEnter};
  for (std::size_t split = 0; split <= text.size(); ++split) {
    EXPECT_EQ(decodeInParts(text, split, KeyDecoder::Source::text), expected) << split;
  }
  // A CR and an LF with a key between them are two line ends.
  EXPECT_EQ(decodeInParts("\r\x1b[A\n", 2, KeyDecoder::Source::text), (Keys{kEnter, kUp, kEnter}));
}

TEST(KeyDecoder, HeldSequenceAfterTimeout) {
  struct Flush {
    std::string_view bytes;
    Keys keys;
  };
  const Flush cases[] = {
      {"\033", {kEsc}},
      {"\033[", {{VirtualKey::none, sc(26), '[', kAlt}}},  // Alt+[ is ESC [ and no more
      {"\033O", {{vk('O'), sc(24), 'O', kAlt}}},
      {"\033[1;", {}},  // a sequence cut short
      {"\033O5", {}},
      {"\xc3", {}},
      {"\033\342\225", {}},
  };
  for (const Flush& f : cases) {
    KeyDecoder decoder;
    KeyQueue queue;
    decoder.feed(bytesOf(f.bytes), queue);
    EXPECT_TRUE(decoder.needMore()) << testing::PrintToString(f.bytes);
    EXPECT_TRUE(queue.empty());
    decoder.flushPending(queue);
    EXPECT_FALSE(decoder.needMore());
    EXPECT_EQ(drain(queue), f.keys) << testing::PrintToString(f.bytes);
    decoder.feed(bytesOf("A"), queue);  // what follows is decoded afresh
    EXPECT_EQ(drain(queue), (Keys{{vk('A'), sc(30), 'A', 0}}));
  }
}

TEST(KeyDecoder, SequenceLongerThanTheHoldIsDroppedWhole) {
  const std::string longParameters = "\x1b[" + std::string(1000, '1') + ";" + std::string(500, '2');
  for (const std::string& ending : {std::string("~q"), std::string("\rq")}) {
    KeyDecoder decoder;
    KeyQueue queue;
    decoder.feed(bytesOf(longParameters), queue);
    EXPECT_TRUE(decoder.needMore());
    EXPECT_TRUE(queue.empty());
    decoder.feed(bytesOf(ending), queue);
    EXPECT_FALSE(decoder.needMore());
    Keys expected = {{vk('Q'), sc(16), 'q', 0}};
    if (ending[0] == '\r') expected.insert(expected.begin(), kEnter);
    EXPECT_EQ(drain(queue), expected);
  }
}

TEST(KeyDecoder, CursorReportWhenAsked) {
  KeyDecoder decoder;
  KeyQueue queue;
  ConsoleCoord position{};
  EXPECT_FALSE(decoder.takeCursorReport(position));
  decoder.expectCursorReport();
  decoder.feed(bytesOf("\x1b[1;5R"), queue);  // row 1, column 5: not Ctrl+F3 now
  EXPECT_TRUE(queue.empty());
  ASSERT_TRUE(decoder.takeCursorReport(position));
  EXPECT_EQ(position, (ConsoleCoord{4, 0}));
  EXPECT_FALSE(decoder.takeCursorReport(position));
}

// Random input, biased towards the bytes sequences are made of, fed whole and in random pieces:
// the pieces give the same keys, and no piece yields more keys than it has bytes (the caller
// reads no more than the queue has room for).
TEST(KeyDecoder, RandomInputSameKeysInAnyPieces) {
  const std::string_view alphabet = "\x1b\x1b\x1b[[[OO;;0123456789~~ABCDHFPRabz$^@\r\n\x7f\x08\x01";
  for (unsigned seed = 1; seed <= 100; ++seed) {
    std::mt19937 random(seed);
    std::string input;
    for (int i = 0; i < 500; ++i) {
      const int kind = int(random() % 8);
      input += kind == 0 ? char(random() % 256) : alphabet[random() % alphabet.size()];
    }
    for (auto source : {KeyDecoder::Source::terminal, KeyDecoder::Source::text}) {
      KeyDecoder whole(source), pieces(source);
      KeyQueue wholeQueue, piecesQueue;
      whole.feed(bytesOf(input), wholeQueue);
      whole.flushPending(wholeQueue);
      Keys pieceKeys;
      for (std::size_t at = 0; at < input.size();) {
        const std::size_t length = std::min<std::size_t>(1 + random() % 7, input.size() - at);
        pieces.feed(bytesOf(std::string_view(input).substr(at, length)), piecesQueue);
        ASSERT_LE(piecesQueue.size(), int(length)) << "seed " << seed << " at " << at;
        for (const Key& k : drain(piecesQueue)) pieceKeys.push_back(k);
        at += length;
      }
      pieces.flushPending(piecesQueue);
      for (const Key& k : drain(piecesQueue)) pieceKeys.push_back(k);
      ASSERT_LE(wholeQueue.size(), int(input.size()));
      EXPECT_EQ(drain(wholeQueue), pieceKeys) << "seed " << seed;
    }
  }
}

TEST(KeyQueue, BoundedFirstInFirstOutAcrossTheWrap) {
  KeyQueue queue;
  InputRecord in{InputEventType::key, {true, 1, VirtualKey::none, ScanCode::none, 0, 0}}, out{};
  int pushed = 0, popped = 0;
  for (int round = 0; round < 3; ++round) {
    for (; queue.push(in); ++pushed) in.keyEvent.asciiChar = std::uint8_t(pushed + 1);
    EXPECT_EQ(queue.size(), KeyQueue::capacity);
    for (int i = 0; i < 300 && queue.pop(out); ++i) {
      EXPECT_EQ(out.keyEvent.asciiChar, std::uint8_t(popped++));
    }
  }
  queue.clear();
  EXPECT_FALSE(queue.pop(out));
}

// The decoded keys reach the line editor as the codes it acts on: the console's key reader
// takes them unchanged.
using DecodedKeysTest = ConsoleTest;

TEST_F(DecodedKeysTest, LineEditorCodes) {
  // Characters, Backspace both ways, Ctrl-S, Ctrl-Y, Enter, Ctrl-J, Tab, a letter in UTF-8;
  // Home twice, End, Left, Right, Shift+Home (acts as Home), Ctrl+Left, Alt+Left, Ctrl+Delete,
  // F11, F12, F1, F10, Shift+F1, Alt+x, Alt+1, keypad Enter; then a lone Esc after the wait.
  const std::string_view typed =
      "a\177\b\023\031\r\n\t\303\251"
      "\033[H\033[7~\033OF\033[D\033[C\033[1;2H\033[1;5D\033[1;3D\033[3;5~"
      "\033[23~\033[24~\033OP\033[21~\033[1;2P\033x\0331\033OM\033";
  const std::vector<int> expected = {
      'a', 8, 8,   19, 25,  13, 10,  9, 130, 0, 71, 0, 71, 0, 79, 0, 75, 0, 77,  0,  71, 0,
      115, 0, 155, 0,  147, 0,  133, 0, 134, 0, 59, 0, 68, 0, 84, 0, 45, 0, 120, 13, 27};
  KeyDecoder decoder;
  KeyQueue queue;
  decoder.feed(bytesOf(typed), queue);
  decoder.flushPending(queue);
  InputRecord record;
  while (queue.pop(record)) console->pushEvent(record);
  std::vector<int> codes;
  for (std::size_t i = 0; i < expected.size(); ++i) codes.push_back(nextKeyCode());
  EXPECT_EQ(codes, expected);
}

}  // namespace
}  // namespace qv
