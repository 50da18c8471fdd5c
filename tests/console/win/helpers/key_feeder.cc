// Types keys into the console the way a keyboard does, for tests that drive the program under
// Wine through a terminal, which cannot send everything a Windows keyboard can (Alt plus the
// numeric keypad, Esc with its character).
// Usage: key_feeder TRIGGER PROGRAM [ARGUMENTS...]
// Starts the program in this console and ends with its exit code. Whenever the file TRIGGER
// appears, its lines "down|up VK SCAN CHAR STATE" (hexadecimal) go into the console's input
// queue as key events, and the file is deleted. At the end it writes the console's input mode
// before and after the program to TRIGGER.modes ("before=HEX after=HEX"). Ctrl-C and
// Ctrl-Break are the program's to handle: the helper outlives them.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string commandLine(int argc, char** argv) {
  std::string line;
  for (int i = 2; i < argc; ++i) {
    if (!line.empty()) line += ' ';
    line += '"' + std::string(argv[i]) + '"';
  }
  return line;
}

std::vector<INPUT_RECORD> readKeys(const char* path) {
  std::vector<INPUT_RECORD> keys;
  FILE* file = std::fopen(path, "r");
  if (file == nullptr) return keys;
  char direction[8];
  unsigned vk, scan, character;
  unsigned long state;
  while (std::fscanf(file, "%7s %x %x %x %lx", direction, &vk, &scan, &character, &state) == 5) {
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = std::string(direction) == "down";
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = WORD(vk);
    record.Event.KeyEvent.wVirtualScanCode = WORD(scan);
    record.Event.KeyEvent.uChar.AsciiChar = CHAR(character);
    record.Event.KeyEvent.dwControlKeyState = state;
    keys.push_back(record);
  }
  std::fclose(file);
  return keys;
}

BOOL WINAPI outliveControlEvents(DWORD event) {
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  SetConsoleCtrlHandler(outliveControlEvents, TRUE);
  const HANDLE keyboard =
      CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD modeBefore = 0, modeAfter = 0;
  GetConsoleMode(keyboard, &modeBefore);
  std::string line = commandLine(argc, argv);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &child)) {
    return 3;
  }
  while (WaitForSingleObject(child.hProcess, 20) == WAIT_TIMEOUT) {
    if (GetFileAttributesA(argv[1]) == INVALID_FILE_ATTRIBUTES) continue;
    Sleep(20);  // the test has finished writing it
    const std::vector<INPUT_RECORD> keys = readKeys(argv[1]);
    DeleteFileA(argv[1]);
    DWORD written = 0;
    if (!keys.empty()) WriteConsoleInputA(keyboard, keys.data(), DWORD(keys.size()), &written);
  }
  GetConsoleMode(keyboard, &modeAfter);
  if (FILE* modes = std::fopen((std::string(argv[1]) + ".modes").c_str(), "w")) {
    std::fprintf(modes, "before=%lX after=%lX\n", modeBefore, modeAfter);
    std::fclose(modes);
  }
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  return int(code);
}
