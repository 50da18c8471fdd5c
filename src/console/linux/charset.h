// The locale's character set (LC_CTYPE, as the terminal is expected to use it): how the
// console's code page 437 glyphs are written to the terminal, and what typed bytes mean.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct LocaleCharacters {
  bool utf8 = true;  // then nothing below is filled: UTF-8 is the terminal layer's own
  // Each code page byte's glyph in the set; an ASCII substitute where the set lacks it.
  std::vector<std::string> glyphs;
  // Typed bytes 0x80 to 0xFF as the console's bytes; -1 where the console has no such glyph
  // or the set has no such single-byte character.
  std::array<std::int16_t, 128> typed{};
};

LocaleCharacters localeCharacters();

}  // namespace qv
