// The bits of one trivially copyable type read as another of the same size. std::bit_cast
// would do, but not every standard library the program is built with has it (Emscripten's).
#pragma once

#include <type_traits>

namespace qv {

template <typename To, typename From>
requires(sizeof(To) == sizeof(From) && std::is_trivially_copyable_v<To> &&
         std::is_trivially_copyable_v<From>) constexpr To bitCast(const From& from) noexcept {
  return __builtin_bit_cast(To, from);
}

}  // namespace qv
