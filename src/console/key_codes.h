// The character codes the console drivers give a meaning to, when drawn or typed.
#pragma once

#include <cstdint>

namespace qv::charCode {

inline constexpr std::uint8_t none = 0;  // first half of a special key's two codes
inline constexpr std::uint8_t bell = 7;
inline constexpr std::uint8_t backspace = 8;
inline constexpr std::uint8_t tab = 9;
inline constexpr std::uint8_t lineFeed = 10;
inline constexpr std::uint8_t carriageReturn = 13;
inline constexpr std::uint8_t ctrlS = 19;
inline constexpr std::uint8_t ctrlY = 25;
inline constexpr std::uint8_t ctrlZ = 26;
inline constexpr std::uint8_t escape = 27;
inline constexpr std::uint8_t blank = 32;
inline constexpr std::uint8_t del = 127;  // what most terminals send for Backspace

// A code that the line editor stores as typed and that no reader takes for anything but a
// character: what a typed glyph may become. The editing keys, the line ends, the blanks a
// number skips, the end of input and the bell (which shows nothing) stay keys only.
constexpr bool typedAsText(std::uint8_t code) {
  switch (code) {
    case none:
    case bell:
    case backspace:
    case tab:
    case lineFeed:
    case carriageReturn:
    case ctrlS:
    case ctrlY:
    case ctrlZ:
    case escape:
      return false;
    default:
      return true;
  }
}

}  // namespace qv::charCode
