#include "console/terminal/capabilities.h"

#include <charconv>

namespace qv {

namespace {

void appendNumber(std::string& out, int value) {
  char digits[12];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

std::string sgr(int code) {
  std::string text = "\x1b[";
  appendNumber(text, code);
  return text + 'm';
}

}  // namespace

TerminalCapabilities TerminalCapabilities::xterm() {
  TerminalCapabilities c;
  // The shortest forms: ESC [ H, ESC [ row H for column 1.
  c.cursorAddress = [](std::string& out, int row, int column) {
    out += "\x1b[";
    if (row > 0 || column > 0) appendNumber(out, row + 1);
    if (column > 0) {
      out += ';';
      appendNumber(out, column + 1);
    }
    out += 'H';
  };
  c.cursorRight = [](std::string& out, int count) {
    out += "\x1b[";
    if (count > 1) appendNumber(out, count);
    out += 'C';
  };
  c.cursorRight1 = "\x1b[C";
  // Only ever set to the whole screen, which ESC [ r does without numbers.
  c.scrollRegion = [](std::string& out, int, int) { out += "\x1b[r"; };
  c.eraseLine = "\x1b[K";
  c.eraseBelow = "\x1b[J";
  c.autoWrapOff = "\x1b[?7l";
  c.autoWrapOn = "\x1b[?7h";
  c.keypadOn = "\x1b=";
  c.keypadOff = "\x1b>";
  c.hideCursor = "\x1b[?25l";
  c.showCursor = "\x1b[?25h";
  c.cursorQuery = "\x1b[6n";
  c.plain = "\x1b[0m";
  c.bold = "\x1b[1m";
  for (int i = 0; i < 8; ++i) {
    c.foreground[i] = sgr(30 + i);
    c.foreground[8 + i] = sgr(90 + i);
    c.background[i] = sgr(40 + i);
    c.background[8 + i] = sgr(100 + i);
  }
  return c;
}

}  // namespace qv
