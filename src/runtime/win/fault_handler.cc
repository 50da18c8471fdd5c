// Processor faults on Windows. A vectored exception handler sees a fault of the program's own
// code first; an unhandled-exception filter catches what faults elsewhere (inside a system
// library called with a bad argument) and nothing else handled. Either only records the fault
// and sends the faulting thread on to resumeAfterFault (pending_faults.h).
#include "runtime/fault_handler.h"

#include <windows.h>

#include <cstdint>

#include "runtime/pending_faults.h"
#include "runtime/run_error.h"
#include "runtime/win/exception_map.h"
#include "runtime/x86/fpu_state.h"

#if !defined(__x86_64__)
#error "the fault handling reads and redirects x86-64 register contexts"
#endif

namespace qv {
namespace {

// What the system keeps for the handler when the stack overflows.
constexpr ULONG overflowGuarantee = 32 * 1024;

CONTEXT faultContexts[maxPendingFaults];  // the frames the back-traces start from, by slot
std::uintptr_t stackLow = 0;              // the main thread's stack: the bottom of its reservation,
std::uintptr_t stackHigh = 0;             // and start-up's own frame
std::uintptr_t imageLow = 0;              // the executable's code and data
std::uintptr_t imageHigh = 0;
PVOID vectoredHandler = nullptr;
LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
bool installed = false;

bool onProgramStack(std::uintptr_t address) {
  return address >= stackLow && address < stackHigh;
}

bool inProgramImage(const void* address) {
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  return at >= imageLow && at < imageHigh;
}

void findProgramImage() {
  const auto* base = reinterpret_cast<const std::uint8_t*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  imageLow = reinterpret_cast<std::uintptr_t>(base);
  imageHigh = imageLow + nt->OptionalHeader.SizeOfImage;
}

void findMainStack(const void* top) {
  MEMORY_BASIC_INFORMATION region{};
  VirtualQuery(&region, &region, sizeof region);  // region lives on this very stack
  stackLow = reinterpret_cast<std::uintptr_t>(region.AllocationBase);
  stackHigh = reinterpret_cast<std::uintptr_t>(top);
}

// An x87 fault is reported at the next x87 instruction; the unit remembers the one at fault.
const void* faultingInstruction(const EXCEPTION_RECORD& record, const CONTEXT& context,
                                bool floatingPoint) {
  const XMM_SAVE_AREA32& fpu = context.FltSave;
  const std::uint64_t x87Instruction =
      fpu.ErrorOffset | (std::uint64_t(fpu.ErrorSelector) | std::uint64_t(fpu.Reserved1) << 16)
                            << 32;
  const auto* x87 = reinterpret_cast<const void*>(x87Instruction);
  if (floatingPoint && (fpu.StatusWord & fpuExceptionFlags) != 0 && inProgramImage(x87)) {
    return x87;
  }
  return record.ExceptionAddress;
}

// Left set, the flags would raise the same fault again at the first floating-point
// instruction after the resumption.
void clearPendingFpuFaults(CONTEXT& context) {
  context.FltSave.StatusWord &= static_cast<WORD>(~fpuPendingStatus);
  context.FltSave.ControlWord = fpuControlSetting;
  context.FltSave.MxCsr = mxcsrSetting;
  context.MxCsr = mxcsrSetting;
}

LONG takeFault(EXCEPTION_POINTERS* pointers, bool ownCodeOnly) {
  EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  CONTEXT& context = *pointers->ContextRecord;
  const FaultMapping mapping =
      mapException({static_cast<std::uint32_t>(record.ExceptionCode), context.FltSave.ControlWord,
                    context.FltSave.StatusWord, context.MxCsr});
  if (mapping.number == 0) return EXCEPTION_CONTINUE_SEARCH;
  // A fault inside a system library may be one that the library handles itself.
  if (ownCodeOnly && !inProgramImage(record.ExceptionAddress)) return EXCEPTION_CONTINUE_SEARCH;
  if (terminationStarted()) endAtOnce(mapping.number);
  // Only faults on the main thread's stack can be resumed; with no room left to record the
  // fault there is nothing sound to resume with either.
  const int slot = pendingFaultCount();
  if (!onProgramStack(context.Rsp) || slot >= maxPendingFaults) return EXCEPTION_CONTINUE_SEARCH;

  const void* address = faultingInstruction(record, context, mapping.floatingPoint);
  faultContexts[slot] = context;
  faultContexts[slot].Rip = reinterpret_cast<DWORD64>(address);
  recordFault({address, mapping.number, mapping.floatingPoint, &faultContexts[slot],
               reinterpret_cast<const void*>(context.Rsp)});
  if (mapping.floatingPoint) clearPendingFpuFaults(context);

  const bool overflow = mapping.number == errorStackOverflow;
  const std::uintptr_t top = resumeStackTop(context.Rsp, stackLow, overflow);
  const std::uintptr_t sp = (top & ~std::uintptr_t{15}) - sizeof(std::uintptr_t);
  *reinterpret_cast<const void**>(sp) = address;  // a return address for debuggers
  context.Rsp = sp;
  context.Rip = reinterpret_cast<DWORD64>(&resumeAfterFault);
  // Left set after a single step, the trap flag would trap again at the first instruction of
  // the error path.
  context.EFlags &= ~DWORD{0x100};
  record.ExceptionCode = 0;
  return EXCEPTION_CONTINUE_EXECUTION;
}

LONG CALLBACK firstChanceHandler(EXCEPTION_POINTERS* pointers) {
  return takeFault(pointers, true);
}

LONG WINAPI unhandledFilter(EXCEPTION_POINTERS* pointers) {
  return takeFault(pointers, false);
}

}  // namespace

void installFaultHandling(const void* top) {
  findProgramImage();
  findMainStack(top);
  codeAddress(nullptr);  // settles the load address now rather than after a fault
  ULONG guarantee = overflowGuarantee;
  SetThreadStackGuarantee(&guarantee);
  vectoredHandler = AddVectoredExceptionHandler(1, firstChanceHandler);
  previousFilter = SetUnhandledExceptionFilter(unhandledFilter);
  installed = true;
}

void removeFaultHandling() {
  if (!installed) return;
  if (vectoredHandler != nullptr) RemoveVectoredExceptionHandler(vectoredHandler);
  SetUnhandledExceptionFilter(previousFilter);
  vectoredHandler = nullptr;
  previousFilter = nullptr;
  installed = false;
}

void resetFaultHandling() {
  removeFaultHandling();
  forgetPendingFaults();
  stackLow = stackHigh = 0;
}

}  // namespace qv
