// Telling a privileged x86 instruction from its bytes: a general-protection fault carries no
// address or reason, so the instruction itself says whether it was one only the kernel may run.
#pragma once

#include <cstdint>

namespace qv {

// Whether the instruction at code (legacy and REX prefixes allowed) may only run in kernel
// mode; reads no further than the opcode bytes.
bool isPrivilegedInstruction(const std::uint8_t* code);

}  // namespace qv
