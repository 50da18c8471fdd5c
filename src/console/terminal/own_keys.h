// A terminal's own strings for its keys, from its description: tried before the built-in
// forms, which stay for every other terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_platform.h"
#include "console/terminal/key_queue.h"

namespace qv {

class OwnKeys {
 public:
  enum class Match { none, begun, whole };
  // Only strings of 2 to `longest` bytes that start with Esc are taken.
  void add(std::string_view bytes, VirtualKey key, std::size_t longest);
  // The held bytes as one of the strings: whole (its key is pushed), or begun while they begin
  // one.
  Match match(std::string_view held, KeyQueue& queue) const;

 private:
  struct OwnKey {
    std::string bytes;
    VirtualKey key;
  };
  std::vector<OwnKey> keys_;
};

}  // namespace qv
