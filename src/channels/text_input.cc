// The reading side of the channels. The moments at which transferHook is called are part of the
// behaviour: on the console each call waits for the user to type a whole new line.
#include "channels/text_input.h"

#include <algorithm>
#include <cstring>

#include "channels/io_result.h"

namespace qv {

namespace {

constexpr std::int32_t tokenCapacity = 255;

struct Token {
  std::int32_t length = 0;
  char chars[tokenCapacity];
};

bool isBlank(std::uint8_t byte) {
  return byte == 9 || byte == 10 || byte == 13 || byte == 32;
}
bool isLineEndByte(std::uint8_t byte) {
  return byte == 10 || byte == 13;
}

bool byteWaiting(const TextChannel& channel) {
  return channel.bufferPosition < channel.bufferEnd;
}
std::uint8_t waitingByte(const TextChannel& channel) {
  return channel.buffer[channel.bufferPosition];
}

// Asks the device for more. Whatever the hook left behind is trimmed to the channel's own
// buffer, so that no driver can make a read step outside it. True when a byte is now waiting.
bool refill(TextChannel& channel) {
  if (channel.transferHook != nullptr) {
    channel.transferHook(channel);
  } else {
    channel.bufferPosition = channel.bufferEnd = 0;
  }
  channel.bufferEnd = std::clamp(channel.bufferEnd, 0, channelBufferSize);
  channel.bufferPosition = std::clamp(channel.bufferPosition, 0, channel.bufferEnd);
  return byteWaiting(channel);
}

// The common entry of the read operations: a pending error makes them do nothing, and only a
// channel open for reading goes on.
bool readyForInput(const TextChannel& channel) {
  if (ioResult != 0) return false;
  if (channel.mode == modeInput) return true;
  ioResult = channel.mode == modeOutput || channel.mode == modeAppend ? 104 : 103;
  return false;
}

// Takes the waiting byte into the token (or drops it when the token is absent or full). Taking
// the last byte refills at once, which is what carries a number read across line ends.
bool takeChar(TextChannel& channel, Token* token) {
  if (!byteWaiting(channel)) return false;
  if (token != nullptr && token->length < tokenCapacity) {
    token->chars[token->length++] = static_cast<char>(waitingByte(channel));
  }
  if (++channel.bufferPosition >= channel.bufferEnd) refill(channel);
  return true;
}

void skipBlanks(TextChannel& channel) {
  while (byteWaiting(channel) && isBlank(waitingByte(channel))) takeChar(channel, nullptr);
}

// The blank that ends the token stays in the buffer for readLineEnd.
void readNumberToken(TextChannel& channel, Token& token) {
  while (token.length < tokenCapacity && byteWaiting(channel) && !isBlank(waitingByte(channel))) {
    takeChar(channel, &token);
  }
}

std::uint32_t digitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<std::uint32_t>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<std::uint32_t>(c - 'a' + 10);
  return 16;
}

void flushIfPresent(TextChannel& channel) {
  if (channel.flushHook != nullptr) channel.flushHook(channel);
}

}  // namespace

std::uint8_t readChar(TextChannel& channel) {
  if (!readyForInput(channel)) return 0;
  if (!byteWaiting(channel) && !refill(channel)) return endOfInputChar;
  return channel.buffer[channel.bufferPosition++];
}

std::int32_t readInteger(TextChannel& channel) {
  if (!readyForInput(channel)) return 0;
  if (!byteWaiting(channel)) refill(channel);
  Token token;
  skipBlanks(channel);
  readNumberToken(channel, token);
  ParsedInteger parsed = parseInteger({token.chars, static_cast<std::size_t>(token.length)});
  if (parsed.errorPosition != 0) {
    ioResult = 106;
    return 0;
  }
  return parsed.value;
}

void readShortString(TextChannel& channel, ShortStringSlot destination, std::int32_t capacity) {
  if (!readyForInput(channel)) {
    *destination.length = 0;
    return;
  }
  std::int32_t limit = std::clamp(std::min(capacity, destination.capacity), 0, 255);
  std::int32_t count = 0;
  while (count < limit) {
    if (!byteWaiting(channel) && !refill(channel)) break;
    std::int32_t span = std::min(channel.bufferEnd - channel.bufferPosition, limit - count);
    const std::uint8_t* from = channel.buffer + channel.bufferPosition;
    std::int32_t scanned = 0;
    while (scanned < span && !isLineEndByte(from[scanned])) ++scanned;
    std::memcpy(destination.chars + count, from, static_cast<std::size_t>(scanned));
    channel.bufferPosition += scanned;
    count += scanned;
    if (scanned < span) break;  // stopped at the line end, which readLineEnd consumes
  }
  *destination.length = static_cast<std::uint8_t>(count);
}

void readLineEnd(TextChannel& channel) {
  if (!readyForInput(channel)) return;
  // With the buffer used up the line just read is gone already: wait for the next one.
  if (!byteWaiting(channel) && !refill(channel)) {
    flushIfPresent(channel);
    return;
  }
  for (;;) {
    std::uint8_t byte = channel.buffer[channel.bufferPosition++];
    if (byte == 10) return;
    if (!byteWaiting(channel) && !refill(channel)) {
      flushIfPresent(channel);
      return;
    }
    if (byte == 13) {
      if (waitingByte(channel) == 10) ++channel.bufferPosition;
      return;
    }
  }
}

void openForInput(TextChannel& channel) {
  if (ioResult == 0) openChannel(channel, modeInput);
}

ParsedInteger parseInteger(std::string_view text) {
  const auto size = static_cast<std::int32_t>(text.size());
  std::int32_t p = 1;  // 1-based, as errorPosition reports it
  bool negative = false;
  std::uint32_t base = 10;
  auto at = [&](std::int32_t position) { return text[static_cast<std::size_t>(position - 1)]; };

  if (p <= size && (at(p) == '+' || at(p) == '-')) negative = at(p++) == '-';
  if (p <= size && at(p) == '$') {
    base = 16;
    ++p;
  } else if (p <= size && at(p) == '%') {
    base = 2;
    ++p;
  }
  if (p > size) return {0, p};

  const std::uint64_t limit = base != 10 ? 0xFFFFFFFFu : negative ? 2147483648u : 2147483647u;
  std::uint64_t accumulator = 0;
  for (; p <= size; ++p) {
    std::uint32_t digit = digitValue(at(p));
    if (digit >= base) return {0, p};
    accumulator = accumulator * base + digit;
    if (accumulator > limit) return {0, p};
  }
  auto bits = static_cast<std::uint32_t>(accumulator);
  return {static_cast<std::int32_t>(negative ? 0u - bits : bits), 0};
}

}  // namespace qv
