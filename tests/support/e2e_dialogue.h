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

inline constexpr int screenRows = 25;  // PtyOptions' default size, 80x25
inline constexpr int screenColumns = 80;

inline const std::string banner =
    "~~~~ QUORVENDALIST ~~~~                                          Tarquelmorvina";
inline const std::string menuQuestion =
    "Scegli il tipo di algoritmo tramite cui vuoi calcolare un'approssimazione di phi";
inline const std::string exitQuestion = "Type 'esci' to exit or press enter to continue";
inline const std::string repetitionsPrompt =
    "Inserisci il numero n di volte che si desidera ripetere il ciclo";
inline const std::string elementsPrompt =
    "Inserisci il numero n di elementi della sequenza di Fibonacci [<47]";
inline const std::string ratioPause =
    "Premi invio per calcolare phi dalla sequenza di Fibonacci...";

// One expected row: its text without trailing blanks, and the colour of every visible glyph on
// it (none for an empty row: Row{}).
struct Row {
  std::string text;
  std::optional<Ink> ink;
};

// The rows of a pass up to and including the menu prompt line, where `typed` was answered.
std::vector<Row> menuRows(std::string_view typed);

// The rows of a pass from the banner to the exit prompt, where the method chosen by `letter`
// showed its title, asked `prompt`, was answered `count` and wrote `body`.
std::vector<Row> passRows(const std::string& letter, const std::string& title,
                          const std::string& prompt, const std::string& count,
                          const std::vector<Row>& body);
// The iterate lines in white, an empty line and the closing line in light red.
std::vector<Row> iterateRows(const std::vector<std::string>& iterates);

using CellRow = std::vector<VtermCell>;

// Every row that went into the scrollback, oldest first, then every row of the screen; a
// screen row r is at scrollbackCells().size() + r.
std::vector<CellRow> everyRow(const VtermScreen& screen);
// Index of the last row (at or after `from`) whose text is exactly `text`; -1 if none.
int lastRowWithText(const std::vector<CellRow>& rows, std::string_view text, int from = 0);

// Every row from `first` on is the expected one, in text and colour, and every row after them
// is empty. The failure shows every row, numbered, and the cursor.
testing::AssertionResult rowsFrom(const PtySession& session, int first,
                                  std::span<const Row> expected);

// From the freshly cleared menu: chooses the method, waits for its prompt and answers `count`.
testing::AssertionResult startMethod(PtySession& session, std::string_view letter,
                                     std::string_view prompt, std::string_view count);
// Waits for a freshly cleared screen with the menu and its prompt, the cursor behind "=>".
testing::AssertionResult waitForMenu(PtySession& session);
// Waits for the exit question on the last two rows with the cursor behind its "=>"; `above` is
// a text that must stand on the screen too, so that an earlier question cannot satisfy it.
testing::AssertionResult waitForExitQuestion(PtySession& session, std::string_view above);

}  // namespace qv::e2e
