#include "console/terminal/own_keys.h"

#include "console/key_codes.h"
#include "console/terminal/key_tables.h"

namespace qv {

void OwnKeys::add(std::string_view bytes, VirtualKey key, std::size_t longest) {
  if (bytes.size() < 2 || bytes.size() > longest || bytes[0] != charCode::escape) return;
  keys_.push_back({std::string(bytes), key});
}

OwnKeys::Match OwnKeys::match(std::string_view held, KeyQueue& queue) const {
  bool begins = false;
  for (const OwnKey& own : keys_) {
    if (own.bytes == held) {
      if (own.key == VirtualKey::enter) {
        queue.push(keyRecord(VirtualKey::enter, ScanCode::enter, charCode::carriageReturn,
                             controlKey::enhancedKey));
      } else {
        pushKey(namedKeyOf(own.key), 0, queue);
      }
      return Match::whole;
    }
    begins = begins || own.bytes.starts_with(held);
  }
  return begins ? Match::begun : Match::none;
}

}  // namespace qv
