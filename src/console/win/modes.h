// The console's input mode the program found, saved once and put back however it ends.
#pragma once

#include <windows.h>

namespace qv {

class WindowsModes {
 public:
  // Saves the input mode of input; false when input is no console (a pipe, a file).
  bool capture(HANDLE input);
  // Keys as events with their virtual-key and scan codes: no line editing or echo by the
  // console, no mouse, window or escape-sequence input. Processed input stays on, so Ctrl-C
  // and Ctrl-Break reach the control handler as Windows users know it.
  void enterProgramMode();
  // The saved mode back; harmless when it already is.
  void leaveProgramMode();

 private:
  HANDLE input_ = INVALID_HANDLE_VALUE;
  DWORD saved_ = 0;
  bool captured_ = false;
  bool set_ = false;
};

}  // namespace qv
