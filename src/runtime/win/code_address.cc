// Code addresses in the report are offsets from the executable's load address: the same from
// run to run whatever address-space randomisation did. Added to the image base the linker chose
// (0x140000000 for a 64-bit executable), they are the addresses addr2line takes.
#include <windows.h>

#include <cstdint>

#include "runtime/run_error.h"

namespace qv {

std::uint32_t codeAddress(const void* instruction) {
  static const auto loadAddress = reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(instruction) - loadAddress);
}

}  // namespace qv
