#include "textio/fault_map.h"

#include <algorithm>
#include <csignal>
#include <initializer_list>

#include "textio/fpu_control.h"

namespace qv {
namespace {

// Several exceptions may be raised by one instruction; the most fundamental one names it.
FaultMapping mapFloatFlags(unsigned unmaskedFlags) {
  if (unmaskedFlags & fpuInvalid) return {errorInvalidOperation, true};
  if (unmaskedFlags & fpuZeroDivide) return {errorDivisionByZero, true};
  if (unmaskedFlags & fpuOverflow) return {errorFloatOverflow, true};
  if (unmaskedFlags & fpuUnderflow) return {errorFloatUnderflow, true};
  // A denormal operand shares its number with an access violation.
  if (unmaskedFlags & fpuDenormal) return {errorAccessViolation, true};
  return {};  // an inexact result alone is not a fault of this program
}

FaultMapping mapArithmeticCode(int code) {
  switch (code) {
    case FPE_INTDIV:
      return {errorDivisionByZero, false};
    case FPE_INTOVF:
      return {errorIntegerOverflow, false};
    case FPE_FLTDIV:
      return {errorDivisionByZero, true};
    case FPE_FLTOVF:
      return {errorFloatOverflow, true};
    case FPE_FLTUND:
      return {errorFloatUnderflow, true};
    case FPE_FLTINV:
      return {errorInvalidOperation, true};
    case FPE_FLTSUB:
      return {errorRangeCheck, false};
    default:
      return {};
  }
}

// The kernel folds denormal into underflow and cannot tell an unmasked flag from a masked
// one, so the saved status decides where it is available.
FaultMapping mapArithmeticFault(const FaultFacts& facts) {
  if (facts.trap == TrapVector::divideError) return {errorDivisionByZero, false};
  FaultMapping mapping;
  if (facts.hasFpuState && facts.trap == TrapVector::x87Error) {
    mapping = mapFloatFlags(facts.fpuStatus & ~facts.fpuControl & fpuExceptionFlags);
  } else if (facts.hasFpuState && facts.trap == TrapVector::simdError) {
    mapping = mapFloatFlags(facts.mxcsr & ~(facts.mxcsr >> mxcsrMaskShift) & fpuExceptionFlags);
  }
  return mapping.number != 0 ? mapping : mapArithmeticCode(facts.code);
}

bool isOneOf(std::uint8_t byte, std::initializer_list<std::uint8_t> set) {
  return std::find(set.begin(), set.end(), byte) != set.end();
}

bool isLegacyPrefix(std::uint8_t byte) {
  return isOneOf(byte, {0x26, 0x2E, 0x36, 0x3E, 0x64, 0x65, 0x66, 0x67, 0xF2, 0xF3});
}

// hlt, cli, sti, and in, out, ins, outs in all their forms.
bool isPrivilegedOneByteOpcode(std::uint8_t opcode) {
  return isOneOf(opcode, {0xF4, 0xFA, 0xFB}) || (opcode >= 0xE4 && opcode <= 0xE7) ||
         (opcode >= 0xEC && opcode <= 0xEF) || (opcode >= 0x6C && opcode <= 0x6F);
}

// The descriptor-table group, clts, invd, wbinvd, moves to and from control and debug
// registers, wrmsr, rdmsr.
bool isPrivilegedTwoByteOpcode(std::uint8_t opcode) {
  return isOneOf(opcode, {0x00, 0x01, 0x06, 0x08, 0x09, 0x30, 0x32}) ||
         (opcode >= 0x20 && opcode <= 0x23);
}

}  // namespace

FaultMapping mapFault(const FaultFacts& facts) {
  switch (facts.signal) {
    case SIGFPE:
      return mapArithmeticFault(facts);
    case SIGSEGV:
      if (facts.onStackGuard) return {errorStackOverflow, false};
      if (facts.privilegedInstruction) return {errorBadInstruction, false};
      return {errorAccessViolation, false};
    case SIGILL:
    case SIGBUS:
    case SIGTRAP:
      return {errorBadInstruction, false};
    default:
      return {};
  }
}

bool isPrivilegedInstruction(const std::uint8_t* code) {
  constexpr int maxPrefixes = 14;  // an x86 instruction is at most 15 bytes long
  int at = 0;
  while (at < maxPrefixes && isLegacyPrefix(code[at])) ++at;
  if (at < maxPrefixes && (code[at] & 0xF0) == 0x40) ++at;  // REX
  if (code[at] == 0x0F) return isPrivilegedTwoByteOpcode(code[at + 1]);
  return isPrivilegedOneByteOpcode(code[at]);
}

}  // namespace qv
