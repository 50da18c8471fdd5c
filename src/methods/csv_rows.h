// The methods' output as rows for spreadsheets and plotting tools. Bound to the channel the
// methods write to, the driver turns every line that holds one value with 15 decimals (an
// iterate or a ratio) into the row "i,value" on another channel, i being loopIndex: the index
// of the iterate the method is writing. Every other line (the Fibonacci header and elements,
// the empty lines, the closing "phi~= " line) is left out. The digits are the dialogue's own.
#pragma once

#include <cstdint>
#include <string_view>

#include "channels/text_channel.h"

namespace qv {

// The first row, naming the columns.
inline constexpr std::string_view csvHeader = "i,value";

// From now on, what is written to `lines` goes to `rows` as rows.
void bindCsvRows(TextChannel& lines, TextChannel& rows);

// The driver's transfer and flush hook.
std::int32_t csvRowsHook(TextChannel& channel);

}  // namespace qv
