// Reading quorvendalist's dialogue off a terminal the way its user does: whole rows with their
// colours, from the scrollback and the screen together, and the states a test waits for.
//
// The texts here are typed out again on purpose rather than taken from the program's sources,
// so that a slip in one of them shows up as a difference on the screen.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pty_session.h"
#include "vterm_screen.h"

namespace qv::e2e {

// Terminal colour indices (bit 0 red) that the console's colours (bit 0 blue) come out as.
enum class Ink : int {
  terminalDefault = -1,
  lightRed = 9,     // console colour 12
  lightGreen = 10,  // console colour 10
  yellow = 11,      // console colour 14
  white = 15,       // console colour 15
};

inline constexpr int screenRows = 25;
inline constexpr int screenColumns = 80;

inline constexpr std::string_view banner =
    "~~~~ QUORVENDALIST ~~~~                                          Tarquelmorvina";
inline constexpr std::string_view menuQuestion =
    "Scegli il tipo di algoritmo tramite cui vuoi calcolare un'approssimazione di phi";
inline constexpr std::string_view exitQuestion = "Type 'esci' to exit or press enter to continue";
inline constexpr std::string_view repetitionsPrompt =
    "Inserisci il numero n di volte che si desidera ripetere il ciclo";
inline constexpr std::string_view elementsPrompt =
    "Inserisci il numero n di elementi della sequenza di Fibonacci [<47]";
inline constexpr std::string_view ratioPause =
    "Premi invio per calcolare phi dalla sequenza di Fibonacci...";

// One expected row: its text without trailing blanks, and the colour every visible glyph on it
// has (none for a row that must be empty).
struct Row {
  std::string text;
  std::optional<Ink> ink;
};
Row blankRow();

// The rows of a pass up to and including the menu prompt line, where `typed` was answered.
std::vector<Row> menuRows(std::string_view typed);

using CellRow = std::vector<VtermCell>;

// Every row that went into the scrollback, oldest first, then every row of the screen.
std::vector<CellRow> everyRow(const VtermScreen& screen);
std::string textOf(const CellRow& cells);  // without trailing blanks
// Index of the last row (at or after `from`) whose text is exactly `text`; -1 if none.
int lastRowWithText(const std::vector<CellRow>& rows, std::string_view text, int from = 0);

// rows[first ...] against the expected rows: text and colour of every visible glyph.
testing::AssertionResult rowsMatch(const std::vector<CellRow>& rows, int first,
                                   std::span<const Row> expected);
// The screen's own rows from `firstScreenRow` on; the failure shows the screen.
testing::AssertionResult screenRowsMatch(const PtySession& session, int firstScreenRow,
                                         std::span<const Row> expected);

// The rows a line of text followed by a line end occupies on a screen `columns` wide: a text
// that fills its last row exactly wraps onto one more, empty, row.
std::vector<std::string> wrappedRows(std::string_view text, int columns = screenColumns);

// The real program in an 80x25 terminal.
PtyOptions programOptions();
// The same, with standard output redirected to `path` (the terminal stays the controlling one).
PtyOptions programWithStandardOutputIn(const std::string& path);

// Waits for a freshly cleared screen with the menu and its prompt, the cursor behind "=>".
testing::AssertionResult waitForMenu(PtySession& session);
// Waits for the cursor at the start of the row below `prompt`, where a number is typed.
testing::AssertionResult waitForAnswerBelow(PtySession& session, std::string_view prompt);
// Waits for the exit question on the last two rows with the cursor behind its "=>"; `above` is
// a text that must stand on the screen too, so that an earlier question cannot satisfy it.
testing::AssertionResult waitForExitQuestion(PtySession& session, std::string_view above);
// Waits for the end, then checks the exit code and that the terminal is as it was.
testing::AssertionResult endsWith(PtySession& session, int exitCode);

// A file that goes away with the test.
class TemporaryFile {
 public:
  TemporaryFile();
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& path() const { return path_; }
  std::string contents() const;

 private:
  std::string path_;
};

}  // namespace qv::e2e
