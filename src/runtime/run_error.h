// Run-time errors and the one end path of the process. A run-time error ends the process with
// its number as exit code after writing the report to reportOutput:
//   Runtime error <n> at 0x<8 hex digits>
//     0x<the same address>
//     0x<return address of each active call, innermost first>
//   <empty line>
// Code addresses are offsets from the executable's load address, so that they stay the same
// from run to run and `addr2line -e quorvendalist 0x...` names the function and line.
#pragma once

#include <cstdint>

#include "channels/short_string.h"
#include "channels/text_channel.h"

namespace qv {

extern bool isConsoleProgram;
extern std::uint16_t exitCode;
extern std::uint16_t errorNumber;
extern std::uint32_t errorAddress;  // 0 means no run-time error is pending
extern const void* errorFrame;      // the frame where the back-trace walk starts

// After every program-level input or output statement: turns a pending ioResult into the
// run-time error of that number, at the address just after the call in the statement. Both
// take the place and frame of the failure from their own call, so they are never inlined.
[[gnu::noinline]] void checkIo();
[[noreturn, gnu::noinline]] void runError(std::uint16_t number);
[[noreturn]] void haltProgram(std::uint8_t code);
[[noreturn]] void raiseRunError(std::uint16_t number, std::uint32_t address, const void* frame);
// The one end path: finalise the modules, put the terminal back, write the report when an
// error is pending, remove the fault handling, end with exitCode.
[[noreturn]] void terminateProgram();
// The one end path for a program that its environment asked to stop (Ctrl-C, a closed console
// window): the process ends with the status the platform gives such a program, not exitCode.
[[noreturn]] void terminateOnRequest(int status);

void writeErrorReport(TextChannel& channel);
void dumpCallStack(TextChannel& channel, const void* frame);
String255 formatCodeAddress(std::uint32_t address);  // "  0x" + 8 uppercase hex digits
String255 hexDigits(std::uint32_t value, int count);
std::uint32_t codeAddress(const void* instruction);  // offset from the executable's load address

// The console registers here how to put the terminal back; every end path calls it once,
// before the report is written. Calling it more than once must be harmless.
using RestoreStep = void (*)();
void setTerminalRestoreStep(RestoreStep step);
// For a signal handler that ends the process at once, with nothing to return to (an abort(), a
// fault that cannot be resumed, a fault signal sent by another process): the console registers
// here how to put the terminal back with async-signal-safe calls only. Harmless when the
// terminal is already back, or when nothing is registered.
void setEmergencyRestoreStep(RestoreStep step);
void runEmergencyRestore();

// Once terminateProgram has begun, any further way out (a fault while the report is written, a
// finalise step that halts) ends the process at once: the restore step if it has not run yet,
// then the exit, with the code already chosen unless that was 0, else with code.
bool terminationStarted();
[[noreturn]] void endAtOnce(std::uint16_t code);

}  // namespace qv
