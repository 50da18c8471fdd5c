#include "runtime/process_end.h"

#include <windows.h>

#include <string_view>

#include "runtime/run_error.h"

namespace qv {

namespace {

// A console of its own (the Start menu, a double-click) closes with its only program: a
// run-time error report shown there would go with it unread, so it stays until a key is
// pressed. Not when the report went elsewhere or another program shares the console.
void keepReportInView() {
  DWORD processes[2];
  DWORD mode = 0;
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (errorAddress == 0 || GetConsoleProcessList(processes, 2) != 1 ||
      !GetConsoleMode(input, &mode) || !GetConsoleMode(output, &mode)) {
    return;
  }
  constexpr std::string_view notice = "Press a key to close this window.";
  DWORD written = 0;
  WriteFile(output, notice.data(), DWORD(notice.size()), &written, nullptr);
  FlushConsoleInputBuffer(input);
  INPUT_RECORD record{};
  DWORD read = 0;
  while (ReadConsoleInputA(input, &record, 1, &read) && read == 1) {
    if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) break;
  }
}

}  // namespace

void endProcess(int status) {
  keepReportInView();
  ExitProcess(static_cast<UINT>(status));
}

}  // namespace qv
