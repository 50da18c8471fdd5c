// Code addresses in the report are offsets from the executable's load address: the same from
// run to run whatever address-space randomisation did, and the very addresses addr2line takes.
#include <elf.h>
#include <link.h>
#include <sys/auxv.h>

#include <cstdint>

#include "runtime/run_error.h"

namespace qv {
namespace {

// The difference between where the executable was loaded and where it was linked to run.
// Read from the program headers the kernel hands over, so it needs no lock and no allocation.
std::uintptr_t findLoadBias() {
  const auto* headers = reinterpret_cast<const ElfW(Phdr)*>(getauxval(AT_PHDR));
  const auto count = static_cast<std::size_t>(getauxval(AT_PHNUM));
  if (headers == nullptr) return 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (headers[i].p_type == PT_PHDR) {
      return reinterpret_cast<std::uintptr_t>(headers) - headers[i].p_vaddr;
    }
  }
  return 0;  // no PT_PHDR: a fixed-address executable, loaded where it was linked
}

}  // namespace

std::uint32_t codeAddress(const void* instruction) {
  static const std::uintptr_t loadBias = findLoadBias();
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(instruction) - loadBias);
}

}  // namespace qv
