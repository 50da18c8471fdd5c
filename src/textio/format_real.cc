// Stub: replaced by the real conversion.
#include "textio/format_real.h"

#include <cstdlib>

namespace qv {
void formatReal(std::int32_t, std::int32_t, Extended, std::int32_t, ShortStringSlot destination,
                std::int32_t) {
  destination.assign("?");
}
}  // namespace qv
