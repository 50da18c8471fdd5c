// The frame lines of a run-time error report ("  0x" and eight hex digits each), as the
// process-end tests of every platform read them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

inline std::vector<std::uint32_t> frameAddresses(const std::string& text) {
  std::vector<std::uint32_t> frames;
  for (std::size_t at = 0; (at = text.find("\n  0x", at + 1)) != std::string::npos;) {
    frames.push_back(static_cast<std::uint32_t>(std::stoul(text.substr(at + 5, 8), nullptr, 16)));
  }
  return frames;
}

}  // namespace qv
