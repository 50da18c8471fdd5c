// The file driver: the hooks that move a channel's buffer through the operating system's file
// interface, and the operations behind them. The hooks and mapOsError are the same everywhere;
// the handle operations are implemented once per platform (linux/file_handles.cc,
// win/file_handles.cc).
#pragma once

#include <cstdint>

#include "channels/text_channel.h"

namespace qv {

extern std::int32_t lastOsError;  // last operating-system error seen; 0 between errors

enum class FileAccess { read, write, readWrite };

std::int32_t fileOpenHook(TextChannel& channel);
std::int32_t fileWriteHook(TextChannel& channel);
std::int32_t fileReadHook(TextChannel& channel);
std::int32_t fileCloseHook(TextChannel& channel);

void openFileHandle(TextChannel& channel, FileAccess access, bool create, bool append);
void mapOsError();

// The platform's side.
// The ids of the process's standard handles, as standardHandle takes them.
inline constexpr std::int32_t standardInputId = -10;
inline constexpr std::int32_t standardOutputId = -11;
inline constexpr std::int32_t standardErrorId = -12;
// 0 for input, 1 output, 2 error; -1 for an id that names no standard handle.
constexpr int standardSlot(std::int32_t which) {
  return which <= standardInputId && which >= standardErrorId ? standardInputId - which : -1;
}

// The process's standard handle of that id; noHandle for any other id.
Handle standardHandle(std::int32_t which);
// Run once before the standard channels are bound.
void prepareStandardHandles();
// From now on a write to a pipe whose reader has gone ends the process at once, without a word,
// the way it ends any program in a pipeline (`yes | head -1`), unless whoever started the
// program chose otherwise (on Linux: SIGPIPE ignored). For runs whose output is read by other
// programs; the dialogue sees such a write as an error number.
void endOnClosedReader();
// noHandle, with the error through mapOsError, when the file cannot be opened.
Handle openNamedFile(const char* path, FileAccess access, bool create);
void closeFileHandle(Handle handle);
std::int32_t writeHandle(Handle handle, const std::uint8_t* bytes, std::int32_t count);
std::int32_t readHandle(Handle handle, std::uint8_t* bytes, std::int32_t count);
void seekToEnd(Handle handle);
bool isCharacterDevice(Handle handle);
// A terminal that a person reads, narrower than a character device (/dev/null is one too).
bool isTerminal(Handle handle);
// A terminal that puts a carriage return before every line feed written to it (a Linux
// terminal in its usual settings): a line end of carriage return and line feed would reach it
// with two carriage returns.
bool terminalAddsCarriageReturn(Handle handle);
// Whether the system's text files and pipes end their lines with a carriage return before the
// line feed (Windows) or with the line feed alone (Linux).
extern const bool textLinesEndWithCarriageReturn;

}  // namespace qv
