// The line-feed output driver. A channel's 256-byte buffer would cost a system call for every
// dozen lines, so the translated text of files and pipes is gathered in one larger block and
// written when it is full. The block holds one handle's text at a time: text for another handle
// first sends what waits, so the order in which the program wrote stays the order on the
// handles. A carriage return may be the last byte of one buffer and its line feed the first of
// the next, so a carriage return is held back until the next byte shows whether it begins a line
// end; that flag lives in the channel's driver data.
#include "channels/line_feed_driver.h"

#include <algorithm>
#include <utility>

#include "channels/file_driver.h"
#include "channels/io_result.h"

namespace qv {

namespace {

constexpr std::uint8_t carriageReturn = '\r';
constexpr std::uint8_t lineFeed = '\n';
constexpr int heldFlag = 0;       // userData[heldFlag] is 1 while a carriage return waits
constexpr int everyLineFlag = 1;  // userData[everyLineFlag] is 1 when each line is written
constexpr std::int32_t blockSize = 64 * 1024;

struct OutputBlock {
  Handle handle = noHandle;
  std::int32_t length = 0;
  std::uint8_t bytes[blockSize];
};

OutputBlock block;

// Like the file driver, a write that fails drops the text and leaves the error in ioResult.
void writeBlock() {
  if (block.length == 0) return;
  const std::int32_t count = std::exchange(block.length, 0);
  if (writeHandle(block.handle, block.bytes, count) != count) ioResult = 101;
}

// Makes room for a buffer's worth of the channel's text (one more byte: a held carriage return).
// Another handle's text goes first; its statements have ended, so a failure to write it is no
// failure of the statement at hand (a report on standard error after standard output failed
// must still be written).
void claimBlock(Handle handle) {
  if (block.handle != handle) {
    const std::uint16_t pending = ioResult;
    writeBlock();
    ioResult = pending;
    block.handle = handle;
  }
  if (block.length > blockSize - channelBufferSize - 1) writeBlock();
}

}  // namespace

// The flush hook runs at every line end and write statement even for files and pipes: it moves
// the text into the block, which keeps the order with other handles at every statement.
void bindLineFeedOutput(TextChannel& channel, Handle handle, bool everyLine) {
  openFileChannel(channel, modeOutput, handle);
  channel.transferHook = lineFeedWriteHook;
  channel.flushHook = lineFeedWriteHook;
  channel.userData[everyLineFlag] = everyLine ? 1 : 0;
}

std::int32_t lineFeedWriteHook(TextChannel& channel) {
  claimBlock(channel.handle);
  bool held = channel.userData[heldFlag] != 0;
  const std::int32_t waiting = std::clamp(channel.bufferPosition, 0, channelBufferSize);
  for (std::int32_t i = 0; i < waiting; ++i) {
    const std::uint8_t byte = channel.buffer[i];
    if (held && (byte != lineFeed || textLinesEndWithCarriageReturn)) {
      block.bytes[block.length++] = carriageReturn;
    }
    held = byte == carriageReturn;
    if (!held) block.bytes[block.length++] = byte;
  }
  channel.userData[heldFlag] = held ? 1 : 0;
  channel.bufferPosition = 0;
  if (channel.userData[everyLineFlag] != 0) writeBlock();
  return 0;
}

void flushLineFeedOutput(TextChannel& channel) {
  if (channel.bufferPosition > 0) lineFeedWriteHook(channel);
  if (channel.userData[heldFlag] != 0) {  // text that ends in a bare carriage return keeps it
    channel.userData[heldFlag] = 0;
    claimBlock(channel.handle);
    block.bytes[block.length++] = carriageReturn;
  }
  if (block.handle == channel.handle) writeBlock();
}

void resetLineFeedOutput() {
  block.handle = noHandle;
  block.length = 0;
}

}  // namespace qv
