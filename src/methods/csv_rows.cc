#include "methods/csv_rows.h"

#include "methods/methods.h"

namespace qv {

namespace {

TextChannel* csvRows = nullptr;

void writeCsvRow(std::int32_t index, std::string_view text) {
  writeInteger(0, *csvRows, index);
  writeString(0, *csvRows, ",");
  writeString(0, *csvRows, text);
  writeLineEnd(*csvRows);
}

std::int32_t discard(TextChannel& channel) {
  channel.bufferPosition = 0;
  return 0;
}

}  // namespace

void sendIteratesToCsvRows(TextChannel& lines, TextChannel& rows) {
  csvRows = &rows;
  methodOutput::iterateSink = writeCsvRow;
  openFileChannel(lines, modeOutput, noHandle);
  lines.transferHook = discard;
  lines.flushHook = discard;
}

}  // namespace qv
