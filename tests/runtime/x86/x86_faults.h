// The x86-64 faults the process-end tests of Linux and Windows both provoke: an integer
// division by zero, an x87 division by zero and overflow, an SSE invalid operation, an illegal
// and a privileged instruction, and a single step.
#pragma once

#include "runtime/scenario_code.h"

namespace qv {

inline const double zeroOperand = 0.0;
inline const long double largestOperand = __LDBL_MAX__;
inline const double minusOne = -1.0;

}  // namespace qv

extern "C" {

// clang-format off
FAULTING_FUNCTION(qvIntegerDivide,
    "xor %%ecx, %%ecx\n\txor %%edx, %%edx\n\tmov $1, %%eax\n\tdiv %%ecx" ::: "eax", "ecx", "edx")
FAULTING_FUNCTION(qvX87Divide,
    "fld1\n\tfdivl %0\n\tfwait\n\tfstp %%st(0)" :: "m"(qv::zeroOperand) : "memory")
FAULTING_FUNCTION(qvX87Overflow,
    "fldt %0\n\tfmul %%st(0), %%st\n\tfwait\n\tfstp %%st(0)" :: "m"(qv::largestOperand) : "memory")
FAULTING_FUNCTION(qvSseInvalid, "movsd %0, %%xmm0\n\tsqrtsd %%xmm0, %%xmm0" :: "m"(qv::minusOne) : "xmm0")
FAULTING_FUNCTION(qvIllegalInstruction, "ud2")
FAULTING_FUNCTION(qvPrivilegedInstruction, "hlt")
// The trap comes after the instruction that follows the one setting the flag.
FAULTING_FUNCTION(qvSingleStep, "pushfq\n\torq $0x100, (%%rsp)\n\tpopfq\n\tnop\n\tnop" ::: "cc", "memory")
// clang-format on

}  // extern "C"
