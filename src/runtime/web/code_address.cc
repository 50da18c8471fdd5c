// Code addresses in the report are offsets into the module's code section: what the engine
// hands back as a return address (the build links with the offset converter that gives it).
// The same from run to run and from browser to browser.
#include <cstdint>

#include "runtime/run_error.h"

namespace qv {

std::uint32_t codeAddress(const void* instruction) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(instruction));
}

}  // namespace qv
