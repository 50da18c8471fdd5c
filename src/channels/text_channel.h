// Text channels: one buffered text stream each, moved to and from its device through four
// exchangeable driver hooks. Errors travel only through ioResult; while it is non-zero the
// write operations do nothing, so the first error of a statement stands until checkIo.
#pragma once

#include <cstdint>
#include <string_view>

#include "channels/short_string.h"

namespace qv {

using Handle = std::int32_t;  // an operating-system handle: a file descriptor here
inline constexpr Handle noHandle = -1;

// Channel states. The field may hold any other value: a record that was never set up.
enum ChannelMode : std::int32_t {
  modeClosed = 0xD7B0,
  modeInput = 0xD7B1,
  modeOutput = 0xD7B2,
  modeInOut = 0xD7B3,
  modeAppend = 0xD7B4,
};

inline constexpr std::int32_t channelBufferSize = 256;

struct TextChannel;
using ChannelHook = std::int32_t (*)(TextChannel& channel);  // results are ignored by callers

struct TextChannel {
  Handle handle;
  ChannelMode mode;
  std::int32_t bufferSize;
  std::int32_t bufferPosition;  // output: bytes waiting; input: next byte to take
  std::int32_t bufferEnd;       // input: valid bytes in the buffer
  std::uint8_t* bufferPointer;  // always this record's own buffer
  ChannelHook openHook;
  ChannelHook transferHook;
  ChannelHook flushHook;  // may be absent (nullptr)
  ChannelHook closeHook;
  std::uint8_t userData[16];
  char name[256];  // NUL-terminated; empty for every channel of this program
  std::uint8_t buffer[channelBufferSize];
};

// The four process-wide channels and the standard handles they are bound to at start-up.
extern TextChannel standardInput;
extern TextChannel standardOutput;
extern TextChannel reportOutput;
extern TextChannel standardError;
extern Handle standardInputHandle;
extern Handle standardOutputHandle;
extern Handle standardErrorHandle;

// Channel management.
void initChannel(TextChannel& channel, std::string_view name);
void openChannel(TextChannel& channel, ChannelMode mode);
void openForOutput(TextChannel& channel);
void closeChannel(TextChannel& channel);
// The channel open on handle with the file driver, for input or output (modeInput or
// modeOutput; the caller checks the mode).
void openFileChannel(TextChannel& channel, ChannelMode mode, Handle handle);
// Puts the four channels, the standard handles, ioResult and lastOsError back to their state
// before start-up, so that each test begins from the same place.
void resetChannels();

// Buffer primitives: they look at neither mode nor ioResult.
void appendToBuffer(TextChannel& channel, const char* bytes, std::int32_t count);
void writeBlanks(TextChannel& channel, std::int32_t count);

// Output operations of a write statement.
void writeString(std::int32_t width, TextChannel& channel, std::string_view text);
void writeInteger(std::int32_t width, TextChannel& channel, std::int32_t value);
void writeLineEnd(TextChannel& channel);
void flushAfterWrite(TextChannel& channel);

// Decimal text of a signed 32-bit value, right-justified in width (-1 for none), cut to capacity.
void formatInteger(std::int32_t value, std::int32_t width, ShortStringSlot destination,
                   std::int32_t capacity);

}  // namespace qv
