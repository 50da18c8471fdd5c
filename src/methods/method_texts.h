// The texts the three methods write and the colours of the whole dialogue. Each text is
// written whole with field width 0, so the lengths checked below are exactly what reaches the
// screen.
#pragma once

#include <cstdint>
#include <string_view>

namespace qv::dialogue {

// Colour numbers of the 16-colour console palette (bit 0 blue, 1 green, 2 red, 3 intensity).
inline constexpr std::uint8_t lightGreen = 10;
inline constexpr std::uint8_t lightRed = 12;
inline constexpr std::uint8_t yellow = 14;
inline constexpr std::uint8_t white = 15;

// The methods' own texts.
inline constexpr std::string_view resultLabel = "phi~= ";
inline constexpr std::string_view sequenceHeaderStart = "Sequenza di Fibonacci fino al ";
inline constexpr std::string_view sequenceHeaderEnd = "esimo elemento:";
inline constexpr std::string_view elementSeparator = "  ";
inline constexpr std::string_view ratioPause =
    "Premi invio per calcolare phi dalla sequenza di Fibonacci...";

static_assert(resultLabel.size() == 6 && sequenceHeaderStart.size() == 30);
static_assert(sequenceHeaderEnd.size() == 15 && ratioPause.size() == 60);

}  // namespace qv::dialogue
