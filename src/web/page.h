// The page a WebAssembly program runs in (a browser tab): the functions the program imports from
// it, each defined in page.js beside this file, which states the whole contract between page
// and program. Under node there is no page.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

int qv_pageTerminalPresent();
// Hands the bytes (UTF-8 text and escape sequences) to the terminal, which takes them all.
void qv_pageTerminalWrite(const std::uint8_t* bytes, std::size_t count);
// The bytes handed over that the terminal has not parsed yet (it parses while the browser has
// its thread).
double qv_pageTerminalUnparsed();
// Columns, rows and the rows of the terminal's scrollback.
void qv_pageTerminalSize(int* size);
// Gives the browser its thread until whatever waits for it has run.
void qv_giveThreadToPage();

// The keys, through console/web/keyboard.cc.
void qv_listenToPage();
void qv_stopListening();
int qv_takeInput(int* items, int limit);
int qv_takeInterrupt();
int qv_takeResize(int* size);
int qv_waitForPage(int timeoutMs);

// Tells the page the status once its terminal has drawn everything; never returns.
void qv_endOnPage(int status);

void qv_showPicture(const char* svg, int svgLength, const char* summary, int summaryLength,
                    const char* rows, int rowsLength, int method);
}

namespace qv {

inline bool pageTerminalPresent() {
  static const bool present = qv_pageTerminalPresent() != 0;
  return present;
}

inline void pageTerminalWrite(const std::uint8_t* bytes, std::size_t count) {
  if (count > 0) qv_pageTerminalWrite(bytes, count);
}

}  // namespace qv
