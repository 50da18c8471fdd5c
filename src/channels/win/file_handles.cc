// The file driver's handles on Windows: kernel handles. Every failed call leaves GetLastError's
// code in lastOsError and goes through mapOsError, so the caller sees an ioResult number and
// never an exception.
#include "channels/file_driver.h"
#include "channels/win/handle.h"

namespace qv {
namespace {

bool endWhenReaderGone = false;

// Windows says "the pipe is being closed" or "broken"; Wine says "no process is on the other
// end" (ERROR_PIPE_NOT_CONNECTED).
bool isClosedReader(DWORD error) {
  return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED;
}

void recordOsError(DWORD error) {
  lastOsError = static_cast<std::int32_t>(error);
  mapOsError();
}

DWORD desiredAccess(FileAccess access) {
  switch (access) {
    case FileAccess::read:
      return GENERIC_READ;
    case FileAccess::write:
      return GENERIC_WRITE;
    case FileAccess::readWrite:
      break;
  }
  return GENERIC_READ | GENERIC_WRITE;
}

}  // namespace

const bool textLinesEndWithCarriageReturn = true;

Handle standardHandle(std::int32_t which) {
  switch (which) {
    case standardInputId:
      return fromWindowsHandle(GetStdHandle(STD_INPUT_HANDLE));
    case standardOutputId:
      return fromWindowsHandle(GetStdHandle(STD_OUTPUT_HANDLE));
    case standardErrorId:
      return fromWindowsHandle(GetStdHandle(STD_ERROR_HANDLE));
    default:
      return noHandle;
  }
}

// A reader that went away shows up as an error number from WriteFile already.
void prepareStandardHandles() {}

// Windows has no signal for it: the failed write itself ends the process, with the system's
// number for a pipe that is being closed as its status.
void endOnClosedReader() {
  endWhenReaderGone = true;
}

Handle openNamedFile(const char* path, FileAccess access, bool create) {
  const HANDLE handle =
      CreateFileA(path, desiredAccess(access), FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  create ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    recordOsError(GetLastError());
    return noHandle;
  }
  return fromWindowsHandle(handle);
}

void closeFileHandle(Handle handle) {
  if (handle == noHandle || isCharacterDevice(handle)) return;
  CloseHandle(toWindowsHandle(handle));
}

std::int32_t writeHandle(Handle handle, const std::uint8_t* bytes, std::int32_t count) {
  std::int32_t written = 0;
  while (written < count) {
    DWORD step = 0;
    if (!WriteFile(toWindowsHandle(handle), bytes + written, static_cast<DWORD>(count - written),
                   &step, nullptr)) {
      const DWORD error = GetLastError();
      // As a vanished reader ends a process on Linux: at once, with no report.
      if (endWhenReaderGone && isClosedReader(error)) ExitProcess(ERROR_NO_DATA);
      recordOsError(error);
      break;
    }
    // A device that takes nothing without an error would keep us here for ever.
    if (step == 0) break;
    written += static_cast<std::int32_t>(step);
  }
  return written;
}

std::int32_t readHandle(Handle handle, std::uint8_t* bytes, std::int32_t count) {
  if (count <= 0) return 0;
  DWORD got = 0;
  if (ReadFile(toWindowsHandle(handle), bytes, static_cast<DWORD>(count), &got, nullptr)) {
    return static_cast<std::int32_t>(got);
  }
  const DWORD error = GetLastError();
  // A pipe whose writer has closed it has simply ended.
  if (error != ERROR_BROKEN_PIPE) recordOsError(error);
  return 0;
}

void seekToEnd(Handle handle) {
  if (SetFilePointer(toWindowsHandle(handle), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) {
    const DWORD error = GetLastError();
    if (error != NO_ERROR) recordOsError(error);
  }
}

bool isCharacterDevice(Handle handle) {
  return GetFileType(toWindowsHandle(handle)) == FILE_TYPE_CHAR;
}

// A console; NUL and serial ports are character devices too.
bool isTerminal(Handle handle) {
  DWORD mode = 0;
  return GetConsoleMode(toWindowsHandle(handle), &mode) != FALSE;
}

bool terminalAddsCarriageReturn(Handle) {
  return false;
}

}  // namespace qv
