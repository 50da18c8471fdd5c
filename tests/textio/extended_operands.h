// Operands for checking the software extended arithmetic against a reference: the values where
// an implementation goes wrong (zeros, infinities, NaNs, refused encodings, denormals, the edges
// of the range, ties) and random ones of several shapes, from a fixed seed.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/sanitizer.h"
#include "textio/extended_format.h"

namespace qv::testsupport {

// How many random cases a test takes: fewer under the sanitizers, which are checking other
// things than the arithmetic and make it ten times slower.
constexpr int randomCases(int count) {
  return underSanitizer ? count / 10 : count;
}

// Without NaNs and refused encodings when numbersOnly.
std::vector<ExtendedBits> hardOperands(bool numbersOnly);

class OperandSource {
 public:
  explicit OperandSource(bool numbersOnly, std::uint64_t seed = 20240611)
      : numbersOnly_(numbersOnly), random_(seed) {}

  // A random operand, and one to pair with it: often close to it in exponent, so that sums
  // cancel and round at every position, and with few significant bits, so that results tie.
  ExtendedBits next();
  ExtendedBits partnerOf(ExtendedBits first);
  double nextDouble();
  std::uint64_t bits() { return random_(); }

 private:
  ExtendedBits shaped(int shape);

  bool numbersOnly_;
  std::mt19937_64 random_;
};

std::string describe(ExtendedBits x);  // "sign+exponent:significand" in hexadecimal

}  // namespace qv::testsupport
