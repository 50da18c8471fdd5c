// The renderer over arbitrary operations of the console and the terminal
// (tests/console/terminal/linux/renderer_run.h), rendered at arbitrary points. What it sends
// must be its own escape sequences, its own line feeds at the bottom row, and well-formed UTF-8
// text without a single control character: a byte of the grid that reached the terminal as a
// control would move the cursor, change modes or worse. A terminal emulator fed the same bytes
// must then show the grid, and keep the rows that left its top.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "console/terminal/linux/renderer_run.h"

namespace {

void printEscaped(std::string_view bytes) {
  for (const char c : bytes) {
    const auto byte = std::uint8_t(c);
    if (byte >= 0x20 && byte < 0x7F) {
      std::fputc(byte, stderr);
    } else {
      std::fprintf(stderr, "\\x%02X", byte);
    }
  }
  std::fputc('\n', stderr);
}

// The bytes under inspection, shown when a check fails.
std::string_view beingChecked;

void check(bool condition) {
  if (condition) return;
  if (!beingChecked.empty()) printEscaped(beingChecked);
  std::abort();
}

// Length of the escape sequence at the start of bytes (which begins with ESC): a control
// sequence ESC [ parameters intermediates final, or ESC and one more byte.
std::size_t escapeLength(std::string_view bytes) {
  check(bytes.size() >= 2);
  if (bytes[1] != '[') {
    check(bytes[1] >= 0x20 && bytes[1] <= 0x7E);
    return 2;
  }
  std::size_t i = 2;
  while (i < bytes.size() && bytes[i] >= 0x20 && bytes[i] <= 0x3F) ++i;
  check(i < bytes.size() && bytes[i] >= 0x40 && bytes[i] <= 0x7E);
  return i + 1;
}

// Length of the UTF-8 character at the start of bytes, which must be well-formed, not a C1
// control, and not a control or DEL in its one-byte form.
std::size_t textLength(std::string_view bytes) {
  const auto lead = std::uint8_t(bytes[0]);
  check(lead >= 0x20 && lead != 0x7F);
  if (lead < 0x80) return 1;
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  check(lead >= 0xC2 && lead <= 0xF4 && bytes.size() >= length);
  for (std::size_t i = 1; i < length; ++i) check((std::uint8_t(bytes[i]) & 0xC0) == 0x80);
  check(!(lead == 0xC2 && std::uint8_t(bytes[1]) <= 0x9F));  // U+0080..U+009F
  return length;
}

// Escape sequences, carriage returns, line feeds and well-formed text, nothing else. (Whether a
// line feed stands where the renderer may send one is for the emulator to tell.)
void checkBytes(std::string_view out) {
  for (beingChecked = out; !out.empty();) {
    std::size_t length = 1;
    if (out[0] == '\x1b') {
      length = escapeLength(out);
    } else if (out[0] != '\n' && out[0] != '\r') {
      length = textLength(out);
    }
    out.remove_prefix(length);
  }
  beingChecked = {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const int columns = input.ConsumeIntegralInRange<int>(1, 40);
  const int rows = input.ConsumeIntegralInRange<int>(1, 30);
  const int logRows = input.ConsumeIntegralInRange<int>(1, 64);
  const bool sameSize = input.ConsumeIntegralInRange<int>(0, 3) != 0;  // mostly
  const int terminalColumns = sameSize ? columns : input.ConsumeIntegralInRange<int>(1, 40);
  const int terminalRows = sameSize ? rows : input.ConsumeIntegralInRange<int>(1, 30);
  const auto below = [&input](int n) { return input.ConsumeIntegralInRange<int>(0, n - 1); };
  qv::RendererRun run({columns, rows, terminalColumns, terminalRows, logRows}, below, checkBytes);
  const auto frame = [&run] {
    const std::string difference = run.frame();
    if (!difference.empty())
      std::fprintf(stderr, "%s\n%s", difference.c_str(), run.state().c_str());
    check(difference.empty());
  };
  while (input.remaining_bytes() > 0) {
    if (input.ConsumeIntegralInRange<int>(0, 3) == 0) frame();
    run.operate(true);
  }
  frame();
  return 0;
}
