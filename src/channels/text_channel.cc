// The channel record's life cycle and the write side of every channel. Errors only ever travel
// through ioResult, so a statement's first failure stands until its checkIo.
#include "channels/text_channel.h"

#include <algorithm>
#include <cstring>

#include "channels/file_driver.h"
#include "channels/io_result.h"

namespace qv {

std::uint16_t ioResult = 0;
TextChannel standardInput, standardOutput, reportOutput, standardError;
Handle standardInputHandle = 0, standardOutputHandle = 1, standardErrorHandle = 2;

namespace {

constexpr char lineEnd[2] = {'\r', '\n'};
constexpr std::int32_t widestInteger = 11;  // "-2147483648"

// A record that was never set up has bufferSize 0; it still has its own 256 bytes, and a
// size of 0 would make the fill loop below spin for ever.
std::int32_t bufferCapacity(const TextChannel& channel) {
  if (channel.bufferSize <= 0 || channel.bufferSize > channelBufferSize) return channelBufferSize;
  return channel.bufferSize;
}

// Hands the full buffer to the device. A missing hook or one that leaves the buffer full would
// otherwise loop for ever, so the waiting bytes are dropped instead.
void passFullBuffer(TextChannel& channel) {
  if (channel.transferHook != nullptr) channel.transferHook(channel);
  if (channel.bufferPosition < 0 || channel.bufferPosition >= bufferCapacity(channel)) {
    channel.bufferPosition = 0;
  }
}

// The one fill loop behind appendToBuffer and writeBlanks: the device sees the buffer only when
// a write does not fit, so text that exactly fills it stays there until the next flush.
template <typename Store>
void fillBuffer(TextChannel& channel, std::int32_t count, Store store) {
  // Drivers write these fields too; a position outside the buffer would make the copy stray.
  if (channel.bufferPosition < 0 || channel.bufferPosition > bufferCapacity(channel)) {
    channel.bufferPosition = 0;
  }
  std::int32_t done = 0;
  std::int32_t room = bufferCapacity(channel) - channel.bufferPosition;
  while (count > room) {
    if (room > 0) store(channel.buffer + channel.bufferPosition, done, room);
    count -= room;
    done += room;
    channel.bufferPosition += room;
    passFullBuffer(channel);
    room = bufferCapacity(channel) - channel.bufferPosition;
  }
  if (count <= 0) return;
  store(channel.buffer + channel.bufferPosition, done, count);
  channel.bufferPosition += count;
}

// Output needs modeOutput; the number tells an input channel from one that is not open at all.
bool readyForOutput(TextChannel& channel) {
  if (channel.mode == modeOutput) return true;
  ioResult = channel.mode == modeInput ? 105 : 103;
  return false;
}

bool isOpenMode(std::int32_t mode) {
  return mode == modeInput || mode == modeOutput || mode == modeInOut;
}

bool isStandardHandle(Handle handle) {
  return handle == standardInputHandle || handle == standardOutputHandle ||
         handle == standardErrorHandle;
}

}  // namespace

void initChannel(TextChannel& channel, std::string_view name) {
  std::memset(&channel, 0, sizeof channel);
  channel.handle = noHandle;
  channel.mode = modeClosed;
  channel.bufferSize = channelBufferSize;
  channel.bufferPointer = channel.buffer;
  channel.openHook = fileOpenHook;
  std::size_t length = std::min(name.size(), sizeof channel.name - 1);
  if (length > 0) std::memcpy(channel.name, name.data(), length);
}

void openChannel(TextChannel& channel, ChannelMode mode) {
  if (isOpenMode(channel.mode)) {
    closeChannel(channel);
    // A channel that could not be closed keeps its device; opening another would leak it.
    if (ioResult != 0) return;
  } else if (channel.mode != modeClosed) {
    ioResult = 102;
    return;
  }
  channel.mode = mode;
  channel.bufferPosition = 0;
  channel.bufferEnd = 0;
  if (channel.openHook != nullptr) channel.openHook(channel);
  if (ioResult != 0) channel.mode = modeClosed;
}

void openForOutput(TextChannel& channel) {
  if (ioResult == 0) openChannel(channel, modeOutput);
}

void closeChannel(TextChannel& channel) {
  if (ioResult != 0) return;
  if (channel.mode != modeInput && channel.mode != modeOutput && channel.mode != modeAppend) {
    ioResult = 103;
    return;
  }
  if (channel.mode == modeOutput && channel.transferHook != nullptr) {
    channel.transferHook(channel);
  }
  // The standard handles belong to the process, not to the channel: they stay open.
  if (!isStandardHandle(channel.handle) && channel.closeHook != nullptr) {
    channel.closeHook(channel);
  }
  channel.mode = modeClosed;
  channel.bufferPosition = 0;
  channel.bufferEnd = 0;
}

void openFileChannel(TextChannel& channel, ChannelMode mode, Handle handle) {
  initChannel(channel, {});
  channel.handle = handle;
  channel.mode = mode;
  channel.closeHook = fileCloseHook;
  if (mode == modeOutput) {
    channel.transferHook = fileWriteHook;
    channel.flushHook = fileWriteHook;
  } else {
    channel.transferHook = fileReadHook;
  }
}

void resetChannels() {
  for (TextChannel* channel : {&standardInput, &standardOutput, &reportOutput, &standardError}) {
    std::memset(channel, 0, sizeof *channel);
  }
  standardInputHandle = standardHandle(standardInputId);
  standardOutputHandle = standardHandle(standardOutputId);
  standardErrorHandle = standardHandle(standardErrorId);
  ioResult = 0;
  lastOsError = 0;
}

void appendToBuffer(TextChannel& channel, const char* bytes, std::int32_t count) {
  fillBuffer(channel, count, [bytes](std::uint8_t* to, std::int32_t from, std::int32_t n) {
    std::memcpy(to, bytes + from, static_cast<std::size_t>(n));
  });
}

void writeBlanks(TextChannel& channel, std::int32_t count) {
  fillBuffer(channel, count, [](std::uint8_t* to, std::int32_t, std::int32_t n) {
    std::memset(to, ' ', static_cast<std::size_t>(n));
  });
}

void writeString(std::int32_t width, TextChannel& channel, std::string_view text) {
  if (ioResult != 0 || !readyForOutput(channel)) return;
  auto length = static_cast<std::int32_t>(text.size());
  if (length < width) writeBlanks(channel, width - length);
  appendToBuffer(channel, text.data(), length);
}

void writeInteger(std::int32_t width, TextChannel& channel, std::int32_t value) {
  if (ioResult != 0) return;
  String255 text;
  formatInteger(value, -1, text, String255::capacity);
  writeString(width, channel, text.view());
}

void writeLineEnd(TextChannel& channel) {
  if (ioResult != 0 || !readyForOutput(channel)) return;
  appendToBuffer(channel, lineEnd, sizeof lineEnd);
  // Even when the append failed: the flush is what shows the line on the device.
  if (channel.flushHook != nullptr) channel.flushHook(channel);
}

void flushAfterWrite(TextChannel& channel) {
  if (channel.flushHook != nullptr) channel.flushHook(channel);
}

void formatInteger(std::int32_t value, std::int32_t width, ShortStringSlot destination,
                   std::int32_t capacity) {
  char digits[widestInteger];
  std::int32_t length = 0;
  // The magnitude as unsigned, so that -2147483648 needs no special case.
  std::uint32_t magnitude =
      value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  do {
    digits[widestInteger - 1 - length++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[widestInteger - 1 - length++] = '-';

  std::int32_t limit = std::clamp(std::min(capacity, destination.capacity), 0, 255);
  std::int32_t blanks = std::clamp(width - length, 0, limit);
  std::memset(destination.chars, ' ', static_cast<std::size_t>(blanks));
  std::int32_t shown = std::min(length, limit - blanks);
  std::memcpy(destination.chars + blanks, digits + widestInteger - length,
              static_cast<std::size_t>(shown));
  *destination.length = static_cast<std::uint8_t>(blanks + shown);
}

}  // namespace qv
