// Stub: replaced by the real console subsystem.
#include <cstdlib>

#include "console/console_input.h"
#include "console/console_output.h"
#include "console/console_state.h"

namespace qv {
ConsoleState consoleState;
void initConsole() { std::abort(); }
void setTextColor(std::uint8_t) { std::abort(); }
std::int32_t queryScreenWidth() { std::abort(); }
std::int32_t queryScreenHeight() { std::abort(); }
std::int32_t queryPlatformId() { std::abort(); }
void bindConsoleChannel(TextChannel&) { std::abort(); }
std::int32_t consoleOpen(TextChannel&) { std::abort(); }
void resetConsoleState() { std::abort(); }
std::int32_t consoleWrite(TextChannel&) { std::abort(); }
std::int32_t consoleClose(TextChannel&) { std::abort(); }
std::int32_t consoleNoFlush(TextChannel&) { std::abort(); }
void putConsoleChar(std::uint8_t) { std::abort(); }
void removeWindowLine(std::int32_t) { std::abort(); }
void getScreenCursor(std::int32_t&, std::int32_t&) { std::abort(); }
void setScreenCursor(std::int32_t, std::int32_t) { std::abort(); }
void gotoWindowPosition(std::uint8_t, std::uint8_t) { std::abort(); }
void clearScreen() { std::abort(); }
std::int32_t consoleReadLine(TextChannel&) { std::abort(); }
std::uint8_t nextKeyCode() { std::abort(); }
bool pollKeyEvents() { std::abort(); }
std::uint8_t translateExtendedKey(ScanCode, std::uint32_t, VirtualKey) { std::abort(); }
void eraseLastChar(TextChannel&) { std::abort(); }
ConsolePlatform& consolePlatform() { std::abort(); }
void setConsolePlatform(ConsolePlatform*) { std::abort(); }
}  // namespace qv
