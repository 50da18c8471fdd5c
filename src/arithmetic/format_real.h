// Real-to-text conversion of the 80-bit extended value with a budget of significant digits.
#pragma once

#include <cstdint>

#include "arithmetic/extended.h"
#include "channels/short_string.h"
#include "channels/text_channel.h"

namespace qv {

inline constexpr std::int32_t noWidth = -32767;
// The type code of a double, the type of every value the program prints.
inline constexpr std::int32_t doubleTypeCode = 1;

// Half a unit in the last place of a budget of significant digits (0 to 17): 0.5 divided by 10
// that many times, each division rounded in the extended format.
Extended roundingHalf(std::int32_t budget);

// Stores the text of value in destination, cut to capacity: the fixed form with `decimals`
// decimals, or the exponent form when decimals is negative or the value has more than 36 integer
// digits. `typeCode` picks the digit budget and widths (1: double); blanks pad to `width`, and
// noWidth asks for the type's full width. Infinities and NaNs give "Inf", "-Inf" and "NaN".
void formatReal(std::int32_t width, std::int32_t decimals, Extended value, std::int32_t typeCode,
                ShortStringSlot destination, std::int32_t capacity);

// The output operation of a write statement for a real: formatReal's text, padded to width.
void writeReal(std::int32_t typeCode, std::int32_t decimals, std::int32_t width,
               TextChannel& channel, Extended value);

}  // namespace qv
