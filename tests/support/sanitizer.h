// Whether this build runs under AddressSanitizer, which makes code several times slower: the
// longest tests then do fewer rounds of the same work.
#pragma once

namespace qv::testsupport {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool underSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool underSanitizer = true;
#else
inline constexpr bool underSanitizer = false;
#endif
#else
inline constexpr bool underSanitizer = false;
#endif

}  // namespace qv::testsupport
