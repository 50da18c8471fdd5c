// The console line editor over arbitrary key-event streams, on screens of arbitrary size with the
// cursor anywhere: every line it hands over is at most 256 bytes and ends in CR LF, the channel
// is left ready to be read, and the cursor stays inside the window. When the keys run out in
// the middle of a line, Enter is pressed.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "channels/io_result.h"
#include "channels/text_channel.h"
#include "console/console_input.h"
#include "console/console_state.h"
#include "runtime/startup.h"
#include "support/memory_device.h"

namespace {

constexpr int lineLimit = 4096;

void check(bool condition) {
  if (!condition) std::abort();
}

// Mostly keys the editor knows by name, sometimes anything at all.
qv::InputRecord eventFrom(FuzzedDataProvider& input) {
  static constexpr qv::VirtualKey named[] = {
      qv::VirtualKey::back,  qv::VirtualKey::enter,    qv::VirtualKey::escape,
      qv::VirtualKey::home,  qv::VirtualKey::end,      qv::VirtualKey::left,
      qv::VirtualKey::right, qv::VirtualKey::alt,      qv::VirtualKey::numpad0,
      qv::numpadKey(6),      qv::numpadKey(5),         qv::VirtualKey::del,
      qv::VirtualKey::shift, qv::VirtualKey::capsLock, qv::VirtualKey::none};
  qv::InputRecord record{};
  const std::uint8_t kind = input.ConsumeIntegral<std::uint8_t>();
  record.eventType = (kind & 0xE0) == 0xE0 ? qv::InputEventType::mouse : qv::InputEventType::key;
  record.keyEvent.keyDown = (kind & 0x10) == 0;
  record.keyEvent.repeatCount = 1;
  record.keyEvent.virtualKeyCode = (kind & 0x08)
                                       ? qv::VirtualKey(input.ConsumeIntegral<std::uint16_t>())
                                       : named[(kind & 0x07) + ((kind >> 5) & 1) * 7];
  record.keyEvent.virtualScanCode = qv::ScanCode(input.ConsumeIntegralInRange<int>(0, 90));
  record.keyEvent.asciiChar = input.ConsumeIntegral<std::uint8_t>();
  record.keyEvent.controlKeyState = input.ConsumeIntegral<std::uint8_t>() & 0x11F;
  if (input.ConsumeBool()) record.keyEvent.controlKeyState |= qv::controlKey::enhancedKey;
  return record;
}

void checkLine(const qv::MemoryDevice& console) {
  const qv::TextChannel& line = qv::standardInput;
  check(line.bufferPosition == 0);
  check(line.bufferEnd >= 2 && line.bufferEnd <= qv::channelBufferSize);
  check(line.buffer[line.bufferEnd - 2] == '\r' && line.buffer[line.bufferEnd - 1] == '\n');
  const qv::ConsoleCoord cursor = console.cursor();
  check(cursor.x >= qv::consoleState.windowLeft - 1 &&
        cursor.x <= qv::consoleState.windowRight - 1);
  check(cursor.y >= qv::consoleState.windowTop - 1 &&
        cursor.y <= qv::consoleState.windowBottom - 1);
  check(qv::ioResult == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const int columns = input.ConsumeIntegralInRange<int>(1, 120);
  const int rows = input.ConsumeIntegralInRange<int>(1, 40);
  const qv::ConsoleCoord start{std::int16_t(input.ConsumeIntegralInRange<int>(0, columns - 1)),
                               std::int16_t(input.ConsumeIntegralInRange<int>(0, rows - 1))};
  auto console = std::make_unique<qv::MemoryDevice>(columns, rows, start);
  qv::setConsolePlatform(&console->platform());
  qv::resetConsoleState();
  qv::resetChannels();
  qv::bindStandardChannels();
  qv::initConsole();
  check(qv::ioResult == 0);

  while (input.remaining_bytes() > 0) console->pushEvent(eventFrom(input));
  // Enter going down only: a key-up left behind would count as one more pending event.
  console->onInputExhausted([](qv::MemoryDevice& keys) {
    keys.pushEvent(
        {qv::InputEventType::key, {true, 1, qv::VirtualKey::enter, qv::ScanCode::enter, '\r', 0}});
  });
  for (int line = 0; line < lineLimit && console->pendingEvents() > 0; ++line) {
    qv::consoleReadLine(qv::standardInput);
    checkLine(*console);
  }

  qv::setConsolePlatform(nullptr);
  qv::resetConsoleState();
  qv::resetChannels();
  return 0;
}
