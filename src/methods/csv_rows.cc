// The rows driver keeps only the start of the line being written: a value line is short, and a
// longer line (the Fibonacci elements run to megabytes for a large n) is known not to be one as
// soon as it outgrows the room, so memory stays the same whatever n is.
#include "methods/csv_rows.h"

#include <algorithm>

#include "methods/methods.h"

namespace qv {

namespace {

// "-2147483648.000000000000000" is the widest value a method can write.
constexpr std::size_t lineRoom = 32;

struct RowsState {
  TextChannel* rows = nullptr;
  char line[lineRoom] = {};
  std::size_t length = 0;
  bool tooLong = false;
};

RowsState rowsState;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The text of one value as the methods write it: an optional minus sign, digits, a point and
// exactly 15 decimals.
bool isFixedPointValue(std::string_view text) {
  if (text.starts_with('-')) text.remove_prefix(1);
  const std::size_t point = text.find('.');
  if (point == 0 || point == std::string_view::npos) return false;
  if (text.size() - point - 1 != methodOutput::shownDecimals) return false;
  return std::all_of(text.begin(), text.begin() + point, isDigit) &&
         std::all_of(text.begin() + point + 1, text.end(), isDigit);
}

void endLine() {
  const std::string_view text(rowsState.line, rowsState.length);
  if (!rowsState.tooLong && rowsState.rows != nullptr && isFixedPointValue(text)) {
    writeInteger(0, *rowsState.rows, loopIndex);
    writeString(0, *rowsState.rows, ",");
    writeString(0, *rowsState.rows, text);
    writeLineEnd(*rowsState.rows);
  }
  rowsState.length = 0;
  rowsState.tooLong = false;
}

}  // namespace

void bindCsvRows(TextChannel& lines, TextChannel& rows) {
  rowsState = RowsState{};
  rowsState.rows = &rows;
  openFileChannel(lines, modeOutput, noHandle);
  lines.transferHook = csvRowsHook;
  lines.flushHook = csvRowsHook;
}

std::int32_t csvRowsHook(TextChannel& channel) {
  const std::int32_t waiting = std::clamp(channel.bufferPosition, 0, channelBufferSize);
  for (std::int32_t i = 0; i < waiting; ++i) {
    const char byte = static_cast<char>(channel.buffer[i]);
    if (byte == '\n') {
      endLine();
    } else if (byte == '\r') {
      // the first half of a line end
    } else if (rowsState.length < lineRoom) {
      rowsState.line[rowsState.length++] = byte;
    } else {
      rowsState.tooLong = true;
    }
  }
  channel.bufferPosition = 0;
  return 0;
}

}  // namespace qv
