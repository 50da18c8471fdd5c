// The software extended arithmetic against the x87, on arbitrary operands: the input is read as
// two 80-bit values (any bits at all: NaNs, infinities, denormals, refused encodings) and a
// double, and every operation must give the x87's result bit for bit and raise the same
// exceptions; formatReal's own operations are checked on the same values where they apply
// (tests/arithmetic/x86/x87_reference.h, which the test of the hard and random operands shares).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "arithmetic/x86/x87_reference.h"

namespace {

qv::ExtendedBits read80(const std::uint8_t* bytes) {
  qv::ExtendedBits x;
  std::memcpy(&x.significand, bytes, 8);
  std::memcpy(&x.signExponent, bytes + 8, 2);
  return x;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint8_t bytes[28] = {};
  std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
  const qv::ExtendedBits a = read80(bytes), b = read80(bytes + 10);
  double value = 0;
  std::memcpy(&value, bytes + 20, sizeof value);
  qv::testsupport::Mismatches mismatches;
  qv::testsupport::checkOnX87(a, b, mismatches);
  qv::testsupport::checkFromDoubleOnX87(value, mismatches);
  qv::testsupport::checkDigitArithmeticOnX87(a, b, int(b.significand % 70), mismatches);
  if (mismatches.none()) return 0;
  std::fputs(mismatches.report().c_str(), stderr);
  std::abort();
}
