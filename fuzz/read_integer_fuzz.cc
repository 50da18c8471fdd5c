// The read statements of the dialogue over arbitrary typed lines: a channel whose transferHook
// hands the input over one line at a time, as the line editor does (at most 254 characters,
// then CR LF), and a statement mix drawn from the input. The reads must stay inside the
// channel's buffer, keep its positions consistent, fill a short string only to its capacity,
// and fail only the way the dialogue knows (106 for a number that is not one).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "channels/io_result.h"
#include "channels/short_string.h"
#include "channels/text_channel.h"
#include "channels/text_input.h"

namespace {

constexpr std::size_t longestLine = 254;  // the line editor's limit, before its CR LF
constexpr int statementLimit = 4096;

std::string typed;  // what is still to be typed, this run
std::size_t typedPosition = 0;

std::int32_t typeOneLine(qv::TextChannel& channel) {
  channel.bufferPosition = 0;
  channel.bufferEnd = 0;
  if (typedPosition >= typed.size()) return 0;  // nothing left: the input is exhausted
  std::size_t end = typed.find('\n', typedPosition);
  if (end == std::string::npos) end = typed.size();
  const std::size_t length = std::min(end - typedPosition, longestLine);
  std::memcpy(channel.buffer, typed.data() + typedPosition, length);
  channel.buffer[length] = '\r';
  channel.buffer[length + 1] = '\n';
  channel.bufferEnd = static_cast<std::int32_t>(length + 2);
  typedPosition = std::min(typed.size(), end + 1);
  return 0;
}

void check(bool condition) {
  if (!condition) std::abort();
}

void checkChannel(const qv::TextChannel& channel) {
  check(channel.bufferPosition >= 0 && channel.bufferPosition <= channel.bufferEnd);
  check(channel.bufferEnd <= qv::channelBufferSize);
}

// One statement of the dialogue; returns false once the input has run out.
bool readStatement(qv::TextChannel& channel, std::uint8_t kind, std::uint8_t capacity) {
  bool more = typedPosition < typed.size() || channel.bufferPosition < channel.bufferEnd;
  switch (kind % 4) {
    case 0:
      qv::readInteger(channel);
      break;
    case 1:
      qv::readChar(channel);
      break;
    case 2: {
      const std::int32_t limit = 1 + capacity % 255;
      qv::String255 text;
      std::memset(text.chars, 0xEE, sizeof text.chars);
      qv::readShortString(channel, text, limit);
      check(text.length <= limit);
      for (int i = limit; i < qv::String255::capacity; ++i) {
        check(static_cast<std::uint8_t>(text.chars[i]) == 0xEE);  // nothing past the capacity
      }
      break;
    }
    default:
      break;  // a statement that only ends the line
  }
  check(qv::ioResult == 0 || qv::ioResult == 106);
  if (qv::ioResult == 0) qv::readLineEnd(channel);
  checkChannel(channel);
  qv::ioResult = 0;  // what checkIo would consume
  return more;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string statements = input.ConsumeRandomLengthString(64);
  typed = input.ConsumeRemainingBytesAsString();
  typedPosition = 0;

  qv::ioResult = 0;
  qv::TextChannel channel;
  qv::initChannel(channel, "");
  channel.openHook = nullptr;
  channel.transferHook = typeOneLine;
  qv::openChannel(channel, qv::modeInput);
  check(qv::ioResult == 0);

  for (int i = 0; i < statementLimit; ++i) {
    const std::uint8_t kind = statements.empty() ? 0 : statements[i % statements.size()];
    const std::uint8_t capacity = statements.empty() ? 5 : statements[(i + 1) % statements.size()];
    if (!readStatement(channel, kind, capacity)) break;
  }
  return 0;
}
