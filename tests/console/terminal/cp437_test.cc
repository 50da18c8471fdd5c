#include "console/terminal/cp437.h"

#include <gtest/gtest.h>

#include <string>

#include "support/vterm_screen.h"

namespace qv {
namespace {

// Drawn side by side in a terminal, every glyph takes exactly one cell and shows the code point
// it stands for: a wide glyph would shift the rest of the row, a control byte would move the
// cursor, and a broken UTF-8 sequence would show a replacement character.
TEST(Cp437, EveryGlyphIsOneCellOfItsCodePoint) {
  VtermScreen screen(1, 256);
  std::string row;
  for (int byte = 0; byte < 256; ++byte) row += cp437Glyph(std::uint8_t(byte));
  screen.feed(row);

  EXPECT_EQ(screen.cursor().col, 255) << "the last glyph leaves the cursor in the last column";
  for (int byte = 0; byte < 256; ++byte) {
    const VtermCell cell = screen.cell(0, byte);
    EXPECT_EQ(cell.width, 1) << "byte " << byte;
    const char32_t shown = cell.chars.empty() ? U' ' : cell.chars[0];
    EXPECT_EQ(shown, cp437CodePoint(std::uint8_t(byte))) << "byte " << byte;
    EXPECT_LE(cell.chars.size(), 1u) << "byte " << byte;
  }
}

TEST(Cp437, NoGlyphContainsAControlByte) {
  for (int byte = 0; byte < 256; ++byte) {
    for (char c : cp437Glyph(std::uint8_t(byte))) {
      const auto b = static_cast<unsigned char>(c);
      EXPECT_TRUE(b >= 0x20 && b != 0x7F) << "byte " << byte;
    }
  }
}

TEST(Cp437, ReverseMapReturnsEveryByteButTheBlankZero) {
  for (int byte = 1; byte < 256; ++byte) {
    EXPECT_EQ(cp437FromUnicode(cp437CodePoint(std::uint8_t(byte))), byte) << "byte " << byte;
  }
  EXPECT_EQ(cp437FromUnicode(U' '), 32);
  for (char32_t none : {U'\u20AC', U'\u0100', U'\u00C0', U'\u4E2D', U'\U0001F600', U'\0'}) {
    EXPECT_EQ(cp437FromUnicode(none), -1) << std::hex << std::uint32_t(none);
  }
}

// Anchors in each region of the code page, so that a table shifted by one shows up.
TEST(Cp437, KnownGlyphs) {
  struct Known {
    std::uint8_t byte;
    const char* glyph;
  };
  const Known known[] = {{0, " "},   {1, "☺"},   {7, "•"},   {13, "♪"},  {27, "←"},      {31, "▼"},
                         {'A', "A"}, {127, "⌂"}, {128, "Ç"}, {130, "é"}, {133, "à"},     {138, "è"},
                         {141, "ì"}, {149, "ò"}, {151, "ù"}, {158, "₧"}, {176, "░"},     {179, "│"},
                         {196, "─"}, {201, "╔"}, {205, "═"}, {219, "█"}, {223, "▀"},     {224, "α"},
                         {227, "π"}, {236, "∞"}, {251, "√"}, {254, "■"}, {255, "\u00A0"}};
  for (const Known& k : known) EXPECT_EQ(cp437Glyph(k.byte), k.glyph) << int(k.byte);
}

}  // namespace
}  // namespace qv
