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

}  // namespace qv::charCode
