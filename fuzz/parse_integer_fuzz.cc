// parseInteger over arbitrary text: never reads outside the text, and what it accepts reads back.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "textio/text_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size < 255 ? size : 255);
  qv::ParsedInteger parsed = qv::parseInteger(text);
  if (parsed.errorPosition < 0 || parsed.errorPosition > static_cast<int>(text.size()) + 1) {
    std::abort();
  }
  if (parsed.errorPosition != 0 && parsed.value != 0) std::abort();
  return 0;
}
