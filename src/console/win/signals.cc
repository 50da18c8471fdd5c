#include "console/win/signals.h"

namespace qv::consoleControl {
namespace {

// Windows ends a process five seconds after a closed window's event; Ctrl-C waits as long as
// the handler does, but a program blocked in a read never looks.
constexpr DWORD graceMs = 4000;

volatile LONG requested = 0;
HANDLE wake = nullptr;
void (*restoreStep)() = nullptr;
bool installed = false;

BOOL WINAPI onControlEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    default:
      return FALSE;
  }
  InterlockedExchange(&requested, 1);
  if (wake != nullptr) SetEvent(wake);
  // The program ends the process from its own thread; this one only waits for that.
  Sleep(graceMs);
  if (restoreStep != nullptr) restoreStep();
  ExitProcess(endStatus);
}

}  // namespace

bool install(void (*restore)()) {
  restoreStep = restore;
  if (wake == nullptr) wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!installed) installed = SetConsoleCtrlHandler(onControlEvent, TRUE) != FALSE;
  return installed;
}

void uninstall() {
  if (installed) SetConsoleCtrlHandler(onControlEvent, FALSE);
  installed = false;
  InterlockedExchange(&requested, 0);
}

HANDLE wakeEvent() {
  return wake;
}

bool endRequested() {
  return requested != 0;
}

}  // namespace qv::consoleControl
