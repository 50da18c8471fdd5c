// The terminal key decoder over arbitrary bytes, fed in chunks of arbitrary size, with a lone-Esc
// time-out (flushPending) at arbitrary points and cursor reports expected now and then. It must
// hold no more than it can, add no more events than it was given bytes (so that a reader that
// reads only as much as the queue has room for loses no key), add at most one on a flush, and
// produce only key-down events.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "console/terminal/key_decoder.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

void takeEvents(qv::KeyQueue& queue) {
  qv::InputRecord record{};
  while (queue.pop(record)) {
    check(record.eventType == qv::InputEventType::key);
    check(record.keyEvent.keyDown);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const auto source =
      input.ConsumeBool() ? qv::KeyDecoder::Source::terminal : qv::KeyDecoder::Source::text;
  qv::KeyDecoder decoder(source);
  qv::KeyQueue queue;
  while (input.remaining_bytes() > 0) {
    const std::uint8_t control = input.ConsumeIntegral<std::uint8_t>();
    const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, 64);
    const std::vector<std::uint8_t> bytes = input.ConsumeBytes<std::uint8_t>(length);

    const int before = queue.size();
    decoder.feed(bytes, queue);
    check(queue.size() - before <= static_cast<int>(bytes.size()));

    if (control & 0x02) {
      const int held = queue.size();
      decoder.flushPending(queue);
      check(queue.size() - held <= 1);
      check(!decoder.needMore());
    }
    if (control & 0x04) decoder.expectCursorReport();
    if (control & 0x08) takeEvents(queue);  // otherwise the queue fills up and drops keys
    if (control == 0xFF) decoder.reset();
  }
  decoder.flushPending(queue);
  check(!decoder.needMore());
  takeEvents(queue);
  return 0;
}
