// The methods' output as rows for spreadsheets and plotting tools: every iterate (and every
// ratio of method c) as the row "i,value", i being its index, with the dialogue's own digits.
// What else a method writes (the Fibonacci header and elements, the empty lines, the closing
// "phi~= " line) is no row.
#pragma once

#include <string_view>

#include "channels/text_channel.h"

namespace qv {

// The first row, naming the columns.
inline constexpr std::string_view csvHeader = "i,value";

// From now on the iterates go to rows as rows, and the methods' other lines, written to lines,
// go nowhere.
void sendIteratesToCsvRows(TextChannel& lines, TextChannel& rows);

}  // namespace qv
