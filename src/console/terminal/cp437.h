// The classic console code page 437: the glyph of every byte, as UTF-8, and back.
#pragma once

#include <cstdint>
#include <string_view>

namespace qv {

// The UTF-8 text of the glyph that the console shows for a byte (pictographs for 1 to 31 and
// 127, letters and box shapes for 128 to 255; byte 0 and 32 are blanks).
std::string_view cp437Glyph(std::uint8_t byte);
// The same glyph as one code point.
char32_t cp437CodePoint(std::uint8_t byte);
// A plain ASCII character that stands in for the glyph where a character set lacks it.
char cp437Substitute(std::uint8_t byte);
// True for a glyph of ambiguous width: one cell in most terminals, two in those set up for East
// Asian text (xterm -cjk_width and the like).
bool cp437AmbiguousWidth(std::uint8_t byte);
// The byte whose glyph is this code point, or -1 when code page 437 has none.
int cp437FromUnicode(char32_t codePoint);

}  // namespace qv
