// The run-time error report: the error line, the failure address again, then one line per
// active call, innermost first, and an empty line.
#include <algorithm>

#include "channels/file_driver.h"
#include "runtime/call_stack.h"
#include "runtime/run_error.h"

namespace qv {
namespace {

// A console shows only a screenful, a file keeps everything: a deep recursion still ends.
constexpr int deviceFrameLines = 9;
constexpr int fileFrameLines = 257;

void writeCodeAddressLine(TextChannel& channel, std::uint32_t address) {
  writeString(0, channel, formatCodeAddress(address).view());
  writeLineEnd(channel);
}

}  // namespace

String255 hexDigits(std::uint32_t value, int count) {
  static constexpr char digitSet[] = "0123456789ABCDEF";
  String255 text;
  const int length = std::clamp(count, 0, String255::capacity);
  for (int i = length - 1; i >= 0; --i) {
    text.chars[i] = digitSet[value & 0xF];
    value >>= 4;
  }
  text.length = static_cast<std::uint8_t>(length);
  return text;
}

String255 formatCodeAddress(std::uint32_t address) {
  constexpr std::string_view prefix = "  0x";
  const String255 digits = hexDigits(address, 8);
  String255 text;
  std::copy(prefix.begin(), prefix.end(), text.chars);
  std::copy(digits.chars, digits.chars + digits.length, text.chars + prefix.size());
  text.length = static_cast<std::uint8_t>(prefix.size() + digits.length);
  return text;
}

namespace {

struct FrameLines {
  TextChannel* channel;
  int left;
};

bool writeFrameLine(const void* returnAddress, void* data) {
  auto& lines = *static_cast<FrameLines*>(data);
  if (returnAddress != nullptr) writeCodeAddressLine(*lines.channel, codeAddress(returnAddress));
  return --lines.left > 0;
}

}  // namespace

void dumpCallStack(TextChannel& channel, const void* frame) {
  FrameLines lines{&channel, isCharacterDevice(channel.handle) ? deviceFrameLines : fileFrameLines};
  const void* floor = walkFloor() != nullptr ? walkFloor() : __builtin_frame_address(0);
  walkCallStack(frame, floor, writeFrameLine, &lines);
}

void writeErrorReport(TextChannel& channel) {
  writeString(0, channel, "Runtime error ");
  writeInteger(0, channel, errorNumber);
  writeString(0, channel, " at 0x");
  writeString(0, channel, hexDigits(errorAddress, 8).view());
  writeLineEnd(channel);
  writeCodeAddressLine(channel, errorAddress);
  dumpCallStack(channel, errorFrame);
  writeLineEnd(channel);
}

}  // namespace qv
