// Short strings: a length byte followed by at most 255 single-byte characters. Every conversion
// into one takes the destination's capacity and cuts to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qv {

template <std::size_t Capacity>
struct ShortString {
  static_assert(Capacity >= 1 && Capacity <= 255);
  static constexpr int capacity = static_cast<int>(Capacity);
  std::uint8_t length = 0;
  char chars[Capacity] = {};

  std::string_view view() const { return {chars, length}; }
};

using String255 = ShortString<255>;

// The storage of any short string, so that an operation can take "a destination of some capacity".
struct ShortStringSlot {
  std::uint8_t* length;
  char* chars;
  int capacity;

  template <std::size_t N>
  ShortStringSlot(ShortString<N>& s) : length(&s.length), chars(s.chars), capacity(static_cast<int>(N)) {}

  std::string_view view() const { return {chars, *length}; }
  // Stores text cut to min(capacity, limit).
  void assign(std::string_view text, int limit = 255) {
    int n = static_cast<int>(text.size());
    if (n > capacity) n = capacity;
    if (n > limit) n = limit;
    if (n < 0) n = 0;
    for (int i = 0; i < n; ++i) chars[i] = text[i];
    *length = static_cast<std::uint8_t>(n);
  }
};

// Three-way comparison: bytes as unsigned values over the common length, then the lengths.
int compareShortStrings(std::string_view left, std::string_view right);

}  // namespace qv
