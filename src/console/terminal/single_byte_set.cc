#include "console/terminal/single_byte_set.h"

#include "console/key_codes.h"

namespace qv {

int SingleByteSet::characterOf(std::uint8_t byte) const {
  const int character = characters_[byte & 0x7F];
  if (character < 0 || !charCode::typedAsText(static_cast<std::uint8_t>(character))) return -1;
  return character;
}

}  // namespace qv
