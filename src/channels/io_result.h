// The pending I/O error of the process: set by channel operations, consumed by checkIo.
#pragma once

#include <cstdint>

namespace qv {

extern std::uint16_t ioResult;  // 0 when no error is pending

}  // namespace qv
