// Ordering of short strings by their bytes as unsigned values, then by length.
#include "channels/short_string.h"

#include <algorithm>

namespace qv {

int compareShortStrings(std::string_view left, std::string_view right) {
  std::size_t common = std::min(left.size(), right.size());
  for (std::size_t i = 0; i < common; ++i) {
    auto l = static_cast<unsigned char>(left[i]);
    auto r = static_cast<unsigned char>(right[i]);
    if (l != r) return l < r ? -1 : 1;
  }
  if (left.size() == right.size()) return 0;
  return left.size() < right.size() ? -1 : 1;
}

}  // namespace qv
