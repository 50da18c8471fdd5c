#include "console/win/modes.h"

namespace qv {

namespace {

constexpr DWORD programInputMode = ENABLE_PROCESSED_INPUT | ENABLE_EXTENDED_FLAGS;
constexpr DWORD keptInputModes = ENABLE_QUICK_EDIT_MODE | ENABLE_INSERT_MODE;

}  // namespace

bool WindowsModes::capture(HANDLE input) {
  input_ = input;
  set_ = false;
  captured_ = GetConsoleMode(input, &saved_) != FALSE;
  return captured_;
}

void WindowsModes::enterProgramMode() {
  if (!captured_) return;
  if (SetConsoleMode(input_, programInputMode | (saved_ & keptInputModes))) set_ = true;
}

void WindowsModes::leaveProgramMode() {
  if (!set_) return;
  SetConsoleMode(input_, saved_);
  set_ = false;
}

}  // namespace qv
