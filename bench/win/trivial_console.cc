// The reference for the Windows program's start-up under Wine: a console program built the same
// way (mingw-w64, -O2, static) that only writes "=>" and ends. See docs/performance.md.
#include <windows.h>

int main() {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "=>\r\n", 4, &written, nullptr);
  return 0;
}
