#include "e2e_dialogue.h"

#include <cstdio>

namespace qv::e2e {

namespace {

// What is wrong with one row, or nothing.
std::string rowDifference(const CellRow& cells, const Row& expected) {
  const std::string actual = textOf(cells);
  if (actual != expected.text) return "\"" + actual + "\", expected \"" + expected.text + "\"";
  for (std::size_t column = 0; expected.ink && column < cells.size(); ++column) {
    const VtermCell& cell = cells[column];
    const bool visible = !cell.chars.empty() && cell.chars != U" ";
    if (visible && cell.fg != static_cast<int>(*expected.ink)) {
      return "colour " + std::to_string(cell.fg) + " at column " + std::to_string(column) +
             ", expected " + std::to_string(static_cast<int>(*expected.ink));
    }
  }
  return {};
}

testing::AssertionResult waitForCursorBehind(PtySession& session, int rowsAbove,
                                             const std::string& textAbove, const std::string& row,
                                             const std::string& above) {
  return session.waitFor(
      [&](const VtermScreen& s) {
        const VtermCursor cursor = s.cursor();
        return cursor.row >= rowsAbove && cursor.col == int(row.size()) &&
               s.rowText(cursor.row) == row && s.rowText(cursor.row - rowsAbove) == textAbove &&
               s.contains(above);
      },
      "the cursor behind \"" + row + "\" below \"" + textAbove + "\", with \"" + above + "\"");
}

}  // namespace

std::vector<Row> menuRows(std::string_view typed) {
  return {
      {banner, Ink::lightGreen},
      {},
      {menuQuestion, Ink::white},
      {},  // the 80-character question wrapped before its line end
      {"[a] funzione continua", Ink::white},
      {"[b] radici nidificate", Ink::white},
      {"[c] sequenza di Fibonacci", Ink::white},
      {},
      {"=>" + std::string(typed), Ink::white},
  };
}

std::vector<Row> passRows(const std::string& letter, const std::string& title,
                          const std::string& prompt, const std::string& count,
                          const std::vector<Row>& body) {
  std::vector<Row> rows = menuRows(letter);
  rows.insert(rows.end(), {{}, {title, Ink::yellow}, {prompt, Ink::white}, {count, Ink::white}});
  rows.insert(rows.end(), 2, Row{});
  rows.insert(rows.end(), body.begin(), body.end());
  rows.insert(rows.end(), 3, Row{});
  rows.insert(rows.end(), {{exitQuestion, Ink::yellow}, {"=>", Ink::yellow}});
  return rows;
}

std::vector<Row> iterateRows(const std::vector<std::string>& iterates) {
  std::vector<Row> rows;
  for (const std::string& x : iterates) rows.push_back({x, Ink::white});
  rows.insert(rows.end(), {{}, {"phi~= " + iterates.back(), Ink::lightRed}});
  return rows;
}

std::vector<CellRow> everyRow(const VtermScreen& screen) {
  std::vector<CellRow> rows = screen.scrollbackCells();
  for (int row = 0; row < screen.rows(); ++row) {
    CellRow& cells = rows.emplace_back();
    for (int column = 0; column < screen.cols(); ++column)
      cells.push_back(screen.cell(row, column));
  }
  return rows;
}

int lastRowWithText(const std::vector<CellRow>& rows, std::string_view text, int from) {
  for (int i = int(rows.size()) - 1; i >= from; --i) {
    if (textOf(rows[std::size_t(i)]) == text) return i;
  }
  return -1;
}

testing::AssertionResult rowsFrom(const PtySession& session, int first,
                                  std::span<const Row> expected) {
  const std::vector<CellRow> rows = everyRow(session.screen());
  const int count = int(rows.size());
  std::string differences;
  for (int i = first; i < std::max(count, first + int(expected.size())); ++i) {
    const std::size_t at = std::size_t(i - first);
    const Row wanted = at < expected.size() ? expected[at] : Row{};
    const std::string difference =
        i < 0 || i >= count ? "missing" : rowDifference(rows[std::size_t(i)], wanted);
    if (!difference.empty()) differences += "  row " + std::to_string(i) + ": " + difference + "\n";
  }
  if (differences.empty()) return testing::AssertionSuccess();
  std::string numbered;
  char label[16];
  for (int i = 0; i < count; ++i) {
    std::snprintf(label, sizeof label, "%4d|", i);
    numbered += label + textOf(rows[std::size_t(i)]) + "|\n";
  }
  const VtermCursor cursor = session.screen().cursor();
  return testing::AssertionFailure() << "rows from " << first << " differ:\n"
                                     << differences << numbered << "the screen starts at row "
                                     << session.screen().scrollbackCells().size() << ", cursor "
                                     << cursor.row << "," << cursor.col;
}

PtyOptions programWithStandardOutputIn(const std::string& path) {
  PtyOptions options;
  // The shell only sets up the redirection and then becomes the program.
  options.arguments = {"-c", "exec \"$@\" >\"$0\"", path};
  for (const std::string& word : targetCommand(options.program)) options.arguments.push_back(word);
  options.program = "/bin/sh";
  return options;
}

testing::AssertionResult startMethod(PtySession& session, std::string_view letter,
                                     std::string_view prompt, std::string_view count) {
  if (auto menu = waitForMenu(session); !menu) return menu;
  session.sendLine(letter);
  const std::string wanted(prompt);
  auto below = session.waitFor(
      [&](const VtermScreen& s) {
        const VtermCursor cursor = s.cursor();
        return cursor.row >= 1 && cursor.col == 0 && s.rowText(cursor.row - 1) == wanted &&
               s.rowText(cursor.row).empty();
      },
      "the cursor on the row below \"" + wanted + "\"");
  if (below) session.sendLine(count);
  return below;
}

testing::AssertionResult waitForMenu(PtySession& session) {
  return session.waitFor(
      [](const VtermScreen& s) {
        if (s.rowText(0) != banner || s.rowText(8) != "=>") return false;
        for (int row = 9; row < s.rows(); ++row) {
          if (!s.rowText(row).empty()) return false;
        }
        return s.cursor().row == 8 && s.cursor().col == 2;
      },
      "the menu on a cleared screen, the cursor behind \"=>\"");
}

testing::AssertionResult waitForPause(PtySession& session) {
  return waitForCursorBehind(session, 0, ratioPause, ratioPause, ratioPause);
}

testing::AssertionResult waitForExitQuestion(PtySession& session, std::string_view above) {
  return waitForCursorBehind(session, 1, exitQuestion, "=>", std::string(above));
}

}  // namespace qv::e2e
