// Typed text in a single-byte character set instead of UTF-8: bytes 0x80 to 0xFF are the
// set's characters.
#pragma once

#include <array>
#include <cstdint>

namespace qv {

class SingleByteSet {
 public:
  // The set's characters given as the console's bytes (-1: none, the byte is dropped).
  void use(const std::array<std::int16_t, 128>& consoleBytes) {
    active_ = true;
    characters_ = consoleBytes;
  }
  bool active() const { return active_; }
  // The console's byte for a typed byte of 0x80 and above; -1 when the set has none, or when it
  // is the glyph of a code the line editor would act on.
  int characterOf(std::uint8_t byte) const;

 private:
  bool active_ = false;
  std::array<std::int16_t, 128> characters_{};
};

}  // namespace qv
