// parseInteger over arbitrary text, against the standard library's own digit conversion: it
// never reads outside the text, every fault it reports lies inside the text (or just past its
// end), and it accepts exactly the sign/prefix/digits texts whose value fits, with that value.
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "channels/text_input.h"

namespace {

struct Expected {
  bool accepted;
  std::int32_t value;
};

// The same syntax, the digits read by std::from_chars (which knows no sign and no prefix).
Expected expectedFor(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && (text[0] == '$' || text[0] == '%')) {
    base = text[0] == '$' ? 16 : 2;
    text.remove_prefix(1);
  }
  if (text.empty()) return {false, 0};
  std::uint64_t magnitude = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  const std::uint64_t limit = base != 10 ? 0xFFFFFFFFu : negative ? 0x80000000u : 0x7FFFFFFFu;
  // from_chars gives up on values past 64 bits; those are out of range here as well.
  if (end != text.data() + text.size() || error != std::errc() || magnitude > limit) {
    return {false, 0};
  }
  std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
  if (negative) bits = 0u - bits;
  return {true, static_cast<std::int32_t>(bits)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A number token holds at most 255 characters.
  std::string_view text(reinterpret_cast<const char*>(data), size < 255 ? size : 255);
  const qv::ParsedInteger parsed = qv::parseInteger(text);
  if (parsed.errorPosition < 0 || parsed.errorPosition > static_cast<int>(text.size()) + 1) {
    std::abort();
  }
  const Expected expected = expectedFor(text);
  if (expected.accepted != (parsed.errorPosition == 0)) std::abort();
  if (parsed.value != expected.value) std::abort();
  return 0;
}
