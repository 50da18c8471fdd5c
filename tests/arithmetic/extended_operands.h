// Operands for checking the software extended arithmetic against a reference: the values where
// an implementation goes wrong (zeros, infinities, NaNs, refused encodings, denormals, the edges
// of the range, ties) and random ones of several shapes, from a fixed seed.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "arithmetic/bit_cast.h"
#include "arithmetic/extended_format.h"

namespace qv::testsupport {

// NaNs and refused encodings included.
std::vector<ExtendedBits> hardOperands();

class OperandSource {
 public:
  explicit OperandSource(std::uint64_t seed) : random_(seed) {}

  // A random operand of one of several shapes.
  ExtendedBits next();
  std::uint64_t bits() { return random_(); }

 private:
  ExtendedBits shaped(int shape);

  std::mt19937_64 random_;
};

std::string describe(ExtendedBits x);  // "sign+exponent:significand" in hexadecimal

// What differs from the reference, each with the operation and its operands: results bit for
// bit (NaNs and signed zeros too) and the exceptions raised. The first few say what is wrong.
class Mismatches {
 public:
  template <typename Value>
  void check(const std::string& what, Value expected, unsigned expectedFlags, Value actual,
             unsigned actualFlags) {
    if (same(expected, actual) && expectedFlags == actualFlags) return;
    if (++count_ <= 10) {
      list_ += what + ": reference " + text(expected) + " flags " + std::to_string(expectedFlags) +
               ", software " + text(actual) + " flags " + std::to_string(actualFlags) + "\n";
    }
  }
  std::string report() const { return std::to_string(count_) + " mismatches\n" + list_; }
  bool none() const { return count_ == 0; }

 private:
  template <typename Value>
  static bool same(Value a, Value b) {
    return a == b;
  }
  static bool same(double a, double b) {
    return bitCast<std::uint64_t>(a) == bitCast<std::uint64_t>(b);
  }
  static std::string text(ExtendedBits x) { return describe(x); }
  static std::string text(double x) { return describe({bitCast<std::uint64_t>(x), 0}); }
  static std::string text(const std::string& x) { return x; }
  template <typename Integer>
  static std::string text(Integer x) {
    return std::to_string(x);
  }

  int count_ = 0;
  std::string list_;
};

}  // namespace qv::testsupport
