// Real-to-text conversion of the 80-bit extended value with a budget of significant digits.
#pragma once

#include <cstdint>

#include "textio/extended.h"
#include "textio/short_string.h"

namespace qv {

inline constexpr std::int32_t noWidth = -32767;

void formatReal(std::int32_t width, std::int32_t decimals, Extended value, std::int32_t typeCode,
                ShortStringSlot destination, std::int32_t capacity);

}  // namespace qv
