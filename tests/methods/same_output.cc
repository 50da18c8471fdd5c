#include "methods/same_output.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "arithmetic/extended.h"
#include "arithmetic/extended_operands.h"
#include "arithmetic/format_real.h"
#include "channels/io_result.h"
#include "channels/text_channel.h"
#include "console/console_state.h"
#include "methods/methods.h"

namespace qv::testsupport {
namespace {

std::string written;  // what a method wrote, its lines ended by carriage return and line feed

std::int32_t record(TextChannel& channel) {
  written.append(reinterpret_cast<const char*>(channel.buffer),
                 std::size_t(channel.bufferPosition));
  channel.bufferPosition = 0;
  return 0;
}

// Enter, whenever the Fibonacci method pauses.
std::int32_t pressEnter(TextChannel& channel) {
  std::memcpy(channel.buffer, "\r\n", 2);
  channel.bufferPosition = 0;
  channel.bufferEnd = 2;
  return 0;
}

// The method's lines for each n, as it writes them on standard output.
std::vector<std::string> methodLines(void (*method)(std::int32_t),
                                     std::initializer_list<std::int32_t> ns) {
  std::vector<std::string> lines;
  for (const std::int32_t n : ns) {
    ioResult = 0;
    resetMethodState();
    resetConsoleState();
    openFileChannel(standardOutput, modeOutput, standardOutputHandle);
    standardOutput.transferHook = record;
    standardOutput.flushHook = record;
    openFileChannel(standardInput, modeInput, standardInputHandle);
    standardInput.transferHook = pressEnter;
    written.clear();
    method(n);
    for (std::size_t at = 0, end; (end = written.find("\r\n", at)) != std::string::npos;
         at = end + 2) {
      lines.push_back(written.substr(at, end - at));
    }
  }
  initChannel(standardOutput, {});
  initChannel(standardInput, {});
  resetConsoleState();
  return lines;
}

// Values where the digit algorithm takes its rarer paths, and every kind of encoding.
std::vector<ExtendedBits> particularValues() {
  std::vector<ExtendedBits> values = hardOperands();
  // clang-format off
  const char* const texts[] = {
      "0.5", "2.5", "9.5", "99.5", "0.96", "9.96", "0.09", "9e-16", "4e-16", "1e-20",
      "1.0000152587890625", "1.0000457763671875", "1.1063854338796414999990247",
      "75.34479684278351", "12345678901234567", "1234567890123456789", "1e35", "1.5e36",
      "0.999999999999999", "0.99999999999999999", "1e-4000", "1e4000", "1.618033988749894848"};
  // clang-format on
  for (const char* text : texts) values.push_back(Extended::decimal(text).bits());
  for (int exponent = -25; exponent <= 40; ++exponent) {
    values.push_back(Extended::decimal("1e" + std::to_string(exponent)).bits());
  }
  return values;
}

constexpr std::int32_t widths[] = {-32767, -1, 0, 5, 8, 9, 12, 16, 20, 23, 25, 30};
constexpr std::int32_t decimalCounts[] = {-3, -1, 0, 1, 2, 5, 9, 10, 14, 15, 16, 17, 20};

std::string formatLine(std::int32_t typeCode, std::int32_t width, std::int32_t decimals,
                       ExtendedBits value) {
  String255 text;
  formatReal(width, decimals, Extended::fromBits(value), typeCode, text, String255::capacity);
  char call[64];
  std::snprintf(call, sizeof call, "%d %d %d %04X:%016" PRIX64 " [", typeCode, width, decimals,
                value.signExponent, value.significand);
  return call + std::string(text.view()) + "]";
}

std::vector<std::string> particularSweep() {
  std::vector<std::string> lines;
  for (ExtendedBits value : particularValues()) {
    for (std::int32_t typeCode = 0; typeCode <= 5; ++typeCode) {
      for (std::int32_t width : {-32767, 0, 8, 12, 25}) {
        for (std::int32_t decimals : {-1, 0, 1, 5, 15, 16, 17, 20}) {
          lines.push_back(formatLine(typeCode, width, decimals, value));
        }
      }
    }
  }
  return lines;
}

std::vector<std::string> randomSweep() {
  OperandSource source(19700101);
  std::vector<std::string> lines;
  for (int i = 0; i < 4000; ++i) {
    const ExtendedBits value = source.next();
    lines.push_back(formatLine(1, 0, 15, value));  // as the program writes
    for (int call = 0; call < 3; ++call) {
      const auto typeCode = static_cast<std::int32_t>(source.bits() % 6);
      const std::int32_t width = widths[source.bits() % std::size(widths)];
      const std::int32_t decimals = decimalCounts[source.bits() % std::size(decimalCounts)];
      lines.push_back(formatLine(typeCode, width, decimals, value));
    }
  }
  return lines;
}

}  // namespace

std::vector<OutputSection> sameOutputSections() {
  return {
      {"a", methodLines(approximateByContinuedFraction, {10000})},
      {"b", methodLines(approximateByNestedRadicals, {10000})},
      // Below 2 no ratio exists: the closing line shows the first ratio of the sequence, 1. 46
      // is the last element that fits; from 47 on the sums wrap around modulo 2^32, far beyond
      // any table of fixed size.
      {"c", methodLines(approximateByFibonacci, {100, INT32_MIN, -3, 0, 1, 2, 46, 47, 113})},
      {"formatReal-particular", particularSweep()},
      {"formatReal-random", randomSweep()},
  };
}

std::uint64_t digestOf(const std::vector<std::string>& lines, std::size_t first,
                       std::size_t count) {
  std::uint64_t digest = 0xCBF29CE484222325;  // the FNV-1a offset basis and prime
  const auto mix = [&digest](unsigned char byte) { digest = (digest ^ byte) * 0x100000001B3; };
  for (std::size_t i = first; i < first + count && i < lines.size(); ++i) {
    for (char c : lines[i]) mix(static_cast<unsigned char>(c));
    mix('\n');
  }
  return digest;
}

}  // namespace qv::testsupport
