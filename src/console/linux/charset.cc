#include "console/linux/charset.h"

#include <iconv.h>
#include <langinfo.h>

#include <clocale>
#include <string_view>

#include "console/terminal/cp437.h"

namespace qv {

namespace {

// The whole text converted, or nothing.
std::string convert(iconv_t converter, std::string_view text) {
  char buffer[16];
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* out = buffer;
  std::size_t outLeft = sizeof buffer;
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  if (iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) ||
      iconv(converter, nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1)) {
    return {};
  }
  return std::string(buffer, out);
}

// The code point of one UTF-8 character that makes up the whole text; 0 when it does not.
char32_t codePointOf(std::string_view utf8) {
  if (utf8.empty()) return 0;
  const auto lead = static_cast<unsigned char>(utf8[0]);
  const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (utf8.size() != length) return 0;
  char32_t codePoint = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    codePoint = codePoint << 6 | (static_cast<unsigned char>(utf8[i]) & 0x3F);
  }
  return codePoint;
}

}  // namespace

LocaleCharacters localeCharacters() {
  // The user's LC_CTYPE only for as long as it takes to learn its character set: nothing else
  // in the program depends on the C library's locale.
  const char* current = std::setlocale(LC_CTYPE, nullptr);
  const std::string previous = current != nullptr ? current : "C";
  std::setlocale(LC_CTYPE, "");
  const std::string codeset = nl_langinfo(CODESET);
  std::setlocale(LC_CTYPE, previous.c_str());

  LocaleCharacters characters;
  if (codeset == "UTF-8") return characters;
  characters.utf8 = false;
  characters.glyphs.resize(256);
  characters.typed.fill(-1);
  const iconv_t toSet = iconv_open(codeset.c_str(), "UTF-8");
  const iconv_t fromSet = iconv_open("UTF-8", codeset.c_str());
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    std::string glyph;
    if (toSet != reinterpret_cast<iconv_t>(-1)) glyph = convert(toSet, cp437Glyph(byte));
    if (glyph.empty()) glyph = cp437Substitute(byte);
    characters.glyphs[byte] = glyph;
  }
  for (int b = 0x80; b < 0x100; ++b) {
    if (fromSet == reinterpret_cast<iconv_t>(-1)) break;
    const char typed = static_cast<char>(b);
    const char32_t codePoint = codePointOf(convert(fromSet, {&typed, 1}));
    if (codePoint != 0)
      characters.typed[b - 0x80] = static_cast<std::int16_t>(cp437FromUnicode(codePoint));
  }
  if (toSet != reinterpret_cast<iconv_t>(-1)) iconv_close(toSet);
  if (fromSet != reinterpret_cast<iconv_t>(-1)) iconv_close(fromSet);
  return characters;
}

}  // namespace qv
