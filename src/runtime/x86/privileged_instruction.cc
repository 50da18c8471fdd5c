#include "runtime/x86/privileged_instruction.h"

#include <algorithm>
#include <initializer_list>

namespace qv {
namespace {

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

bool isPrivilegedInstruction(const std::uint8_t* code) {
  constexpr int maxPrefixes = 14;  // an x86 instruction is at most 15 bytes long
  int at = 0;
  while (at < maxPrefixes && isLegacyPrefix(code[at])) ++at;
  if (at < maxPrefixes && (code[at] & 0xF0) == 0x40) ++at;  // REX
  if (code[at] == 0x0F) return isPrivilegedTwoByteOpcode(code[at + 1]);
  return isPrivilegedOneByteOpcode(code[at]);
}

}  // namespace qv
