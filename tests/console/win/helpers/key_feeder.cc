// Types keys into the console the way a keyboard does, for tests that drive the program under
// Wine through a terminal, which cannot send everything a Windows keyboard can (Alt plus the
// numeric keypad, Esc with its character).
// Usage: key_feeder [--rows N] TRIGGER PROGRAM
// Starts the program in this console and ends with its exit code; with --rows, in a screen
// buffer of N rows behind the window, as a console window of its own has. Whenever the file TRIGGER
// appears, its lines "down|up VK SCAN CHAR STATE" (hexadecimal) go into the console's input
// queue as key events, and the file is deleted; an empty TRIGGER instead has the text of the
// rows the console window shows written to TRIGGER.window. A program that leaves the console's
// input mode changed ends it with status 99, both modes said on standard error.
// Ctrl-C and Ctrl-Break are the program's to handle: the helper outlives them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

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

// The rows in the console's window, each without its trailing blanks.
void writeWindow(const std::string& path) {
  const HANDLE screen = GetStdHandle(STD_OUTPUT_HANDLE);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(screen, &info);
  std::string text;
  for (SHORT row = info.srWindow.Top; row <= info.srWindow.Bottom; ++row) {
    std::string cells(std::size_t(info.srWindow.Right - info.srWindow.Left + 1), ' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterA(screen, cells.data(), DWORD(cells.size()),
                                {info.srWindow.Left, row}, &read);
    cells.erase(cells.find_last_not_of(' ') + 1);
    text += cells + '\n';
  }
  if (FILE* file = std::fopen((path + ".part").c_str(), "wb")) {
    std::fputs(text.c_str(), file);
    std::fclose(file);
    MoveFileA((path + ".part").c_str(), path.c_str());
  }
}

BOOL WINAPI outliveControlEvents(DWORD event) {
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 3 && std::string(argv[1]) == "--rows") {
    const HANDLE screen = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(screen, &info);
    SetConsoleScreenBufferSize(screen, {info.dwSize.X, SHORT(std::atoi(argv[2]))});
    argc -= 2;
    argv += 2;
  }
  if (argc != 3) return 2;
  SetConsoleCtrlHandler(outliveControlEvents, TRUE);
  const HANDLE keyboard =
      CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD modeBefore = 0, modeAfter = 0;
  GetConsoleMode(keyboard, &modeBefore);
  std::string line = '"' + std::string(argv[2]) + '"';
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
    if (keys.empty())
      writeWindow(std::string(argv[1]) + ".window");
    else
      WriteConsoleInputA(keyboard, keys.data(), DWORD(keys.size()), &written);
  }
  GetConsoleMode(keyboard, &modeAfter);
  if (modeAfter != modeBefore) {
    std::fprintf(stderr, "input mode %lX after the program, %lX before\n", modeAfter, modeBefore);
    return 99;
  }
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  return int(code);
}
