// What a terminal can do, and the bytes that make it do so: read from the terminal's own
// description where the platform has one (terminfo on Linux), otherwise the set that xterm and
// its descendants (and tmux, screen, rxvt, the Linux console, xterm.js) all understand.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/console_platform.h"

namespace qv {

struct TerminalCapabilities {
  // The parameterised strings, expanded by whoever read the description. Rows and columns are
  // 0-based.
  using Position = std::function<void(std::string& out, int row, int column)>;
  using Count = std::function<void(std::string& out, int count)>;

  // cup. Without it the terminal cannot be drawn on, only written to line by line.
  Position cursorAddress;
  Count cursorRight;         // cuf; may be empty
  std::string cursorRight1;  // cuf1; may be empty
  // csr: scroll margins (top and bottom rows, inclusive); may be empty.
  Position scrollRegion;
  std::string eraseLine;                // el; empty: the renderer writes blanks
  std::string eraseBelow;               // ed; may be empty
  std::string autoWrapOff, autoWrapOn;  // rmam, smam
  std::string keypadOn, keypadOff;      // smkx, rmkx
  std::string hideCursor, showCursor;   // civis, cnorm
  std::string cursorQuery;              // u7: the terminal answers ESC [ row ; column R
  std::string plain;                    // sgr0: no colours or attributes
  std::string bold;
  // How many colours (0: none). With 8, the bright ones are drawn bold, or as the nearest of
  // the 8 when there is no bold. foreground[i], background[i] select colour i (0 black, 1 red,
  // 2 green ... 7 white, 8-15 their bright forms; only 0-7 with fewer than 16 colours).
  int colours = 16;
  std::string foreground[16], background[16];
  // Each code page 437 byte's glyph as the terminal's character set writes it (an ASCII
  // substitute where the set lacks it); empty: UTF-8.
  std::vector<std::string> glyphs;
  // The keys' own strings (kcub1, khome, kf1 ...), for the key decoder.
  std::vector<std::pair<std::string, VirtualKey>> keys;

  bool addressable() const { return static_cast<bool>(cursorAddress); }

  // Today's xterm set: what a terminal without a description gets.
  static TerminalCapabilities xterm();
};

}  // namespace qv
