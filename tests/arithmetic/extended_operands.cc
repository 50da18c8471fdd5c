#include "arithmetic/extended_operands.h"

#include <cstdio>

namespace qv::testsupport {
namespace {

constexpr std::uint64_t top = std::uint64_t{1} << 63;
constexpr std::uint64_t ones = ~std::uint64_t{0};
constexpr std::uint16_t sign = 0x8000;
constexpr std::uint16_t one = 0x3FFF;      // the biased exponent of 1
constexpr std::uint16_t largest = 0x7FFE;  // of the largest finite values

}  // namespace

std::vector<ExtendedBits> hardOperands() {
  std::vector<ExtendedBits> values = {
      {0, 0},                                 // zero
      {1, 0},                                 // the smallest denormal
      {top - 1, 0},                           // the largest denormal
      {top, 1},                               // the smallest normal
      {top | 1, 1},                           // just above it
      {top, one},                             // 1
      {top | 1, one},                         // 1 + ulp
      {ones, one - 1},                        // just below 1
      {top | (top >> 1), one},                // 1.5
      {top | (top >> 2), one + 3},            // 10
      {0xCCCCCCCCCCCCCCCD, one - 4},          // 0.1, rounded up
      {top, one - 64},                        // half an ulp of 1: ties with it
      {top | (top >> 1), one - 64},           // three quarters of an ulp of 1
      {top | (std::uint64_t{1} << 31), one},  // 1 + 2^-32: squares to a tie
      {ones, largest},                        // the largest finite value
      {top, largest},                         // 2^16383
      {ones, one + 8192},                     // squares overflow
      {top, one - 8191},                      // squares to the smallest normal
      {top, one - 8223},                      // squares into the denormals
      {top, one + 63},                        // 2^63: only its negative fits in an int64
      {top, 0x7FFF},                          // infinity
  };
  values.insert(values.end(), {
                                  {top | 1, 0},                    // a pseudo-denormal
                                  {top | (top >> 1), 0x7FFF},      // the default NaN's shape
                                  {top | (top >> 1) | 5, 0x7FFF},  // a quiet NaN
                                  {top | 5, 0x7FFF},               // a signalling NaN
                                  {top | 7, 0x7FFF},               // a larger one
                                  {0, 0x7FFF},                     // a pseudo-infinity
                                  {top >> 1, 0x7FFF},              // a pseudo-NaN
                                  {top >> 1, one},                 // an unnormal
                              });
  const std::size_t count = values.size();
  for (std::size_t i = 0; i < count; ++i) {
    values.push_back(
        {values[i].significand, static_cast<std::uint16_t>(values[i].signExponent | sign)});
  }
  return values;
}

ExtendedBits OperandSource::shaped(int shape) {
  std::uint64_t significand = random_() | top;
  std::uint16_t exponent = 0;
  switch (shape) {
    case 0:  // anywhere in the range
      exponent = static_cast<std::uint16_t>(1 + random_() % largest);
      break;
    case 1:  // the program's magnitudes
      exponent = static_cast<std::uint16_t>(one - 70 + random_() % 140);
      break;
    case 2:  // denormals and the smallest normals
      exponent = static_cast<std::uint16_t>(random_() % 70);
      if (exponent == 0) significand >>= 1 + random_() % 63;
      break;
    case 3:  // near the top of the range
      exponent = static_cast<std::uint16_t>(largest - random_() % 70);
      break;
    default:  // few significant bits, so that products and quotients tie
      exponent = static_cast<std::uint16_t>(one - 8 + random_() % 16);
      significand = top | (significand >> (33 + random_() % 31)) << (random_() % 31);
      break;
  }
  if (random_() % 16 == 0) {  // any bits at all: NaNs, refused encodings
    return {random_(), static_cast<std::uint16_t>(random_())};
  }
  const std::uint16_t negative = (random_() & 1) ? 0x8000 : 0;
  return {significand, static_cast<std::uint16_t>(exponent | negative)};
}

ExtendedBits OperandSource::next() {
  return shaped(static_cast<int>(random_() % 5));
}

std::string describe(ExtendedBits x) {
  char text[40];
  std::snprintf(text, sizeof text, "%04X:%016llX", x.signExponent,
                static_cast<unsigned long long>(x.significand));
  return text;
}

}  // namespace qv::testsupport
