#include "e2e_dialogue.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace qv::e2e {

namespace {

bool isVisible(const VtermCell& cell) {
  return !cell.chars.empty() && !(cell.chars.size() == 1 && cell.chars[0] == U' ');
}

// What is wrong with one row, or nothing.
std::string rowDifference(const CellRow& cells, const Row& expected) {
  const std::string actual = textOf(cells);
  if (actual != expected.text) {
    return "text \"" + actual + "\", expected \"" + expected.text + "\"";
  }
  if (!expected.ink) return {};
  for (std::size_t column = 0; column < cells.size(); ++column) {
    if (!isVisible(cells[column])) continue;
    if (cells[column].fg != static_cast<int>(*expected.ink)) {
      return "colour " + std::to_string(cells[column].fg) + " at column " + std::to_string(column) +
             ", expected " + std::to_string(static_cast<int>(*expected.ink));
    }
  }
  return {};
}

std::string numbered(const std::vector<CellRow>& rows) {
  std::string text;
  char label[32];
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::snprintf(label, sizeof label, "%4zu|", i);
    text += label + textOf(rows[i]) + "|\n";
  }
  return text;
}

}  // namespace

Row blankRow() {
  return {"", std::nullopt};
}

std::vector<Row> menuRows(std::string_view typed) {
  return {
      {std::string(banner), Ink::lightGreen},
      blankRow(),
      {std::string(menuQuestion), Ink::white},
      blankRow(),  // the 80-character question wrapped before its line end
      {"[a] funzione continua", Ink::white},
      {"[b] radici nidificate", Ink::white},
      {"[c] sequenza di Fibonacci", Ink::white},
      blankRow(),
      {"=>" + std::string(typed), Ink::white},
  };
}

std::vector<CellRow> everyRow(const VtermScreen& screen) {
  std::vector<CellRow> rows = screen.scrollbackCells();
  for (int row = 0; row < screen.rows(); ++row) {
    CellRow cells;
    for (int column = 0; column < screen.cols(); ++column)
      cells.push_back(screen.cell(row, column));
    rows.push_back(std::move(cells));
  }
  return rows;
}

std::string textOf(const CellRow& cells) {
  std::string text;
  for (const VtermCell& cell : cells) {
    if (cell.width != 0) text += cell.utf8();
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

int lastRowWithText(const std::vector<CellRow>& rows, std::string_view text, int from) {
  for (int i = int(rows.size()) - 1; i >= from; --i) {
    if (textOf(rows[std::size_t(i)]) == text) return i;
  }
  return -1;
}

testing::AssertionResult rowsMatch(const std::vector<CellRow>& rows, int first,
                                   std::span<const Row> expected) {
  std::string differences;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const long index = long(first) + long(i);
    std::string difference = index >= 0 && std::size_t(index) < rows.size()
                                 ? rowDifference(rows[std::size_t(index)], expected[i])
                                 : "missing, expected \"" + expected[i].text + "\"";
    if (!difference.empty())
      differences += "  row " + std::to_string(index) + ": " + difference + "\n";
  }
  if (differences.empty()) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "rows from " << first << " differ:\n"
                                     << differences << "all rows:\n"
                                     << numbered(rows);
}

testing::AssertionResult screenRowsMatch(const PtySession& session, int firstScreenRow,
                                         std::span<const Row> expected) {
  const VtermScreen& screen = session.screen();
  const std::vector<CellRow> rows = everyRow(screen);
  const int offset = int(rows.size()) - screen.rows();
  testing::AssertionResult result = rowsMatch(rows, offset + firstScreenRow, expected);
  if (!result) result << "(screen rows start at " << offset << ")\n" << session.report();
  return result;
}

std::vector<std::string> wrappedRows(std::string_view text, int columns) {
  std::vector<std::string> rows;
  const std::size_t width = std::size_t(columns);
  for (std::size_t start = 0; start < text.size(); start += width) {
    std::string row(text.substr(start, width));
    while (!row.empty() && row.back() == ' ') row.pop_back();
    rows.push_back(std::move(row));
  }
  if (text.empty() || text.size() % width == 0) rows.emplace_back();
  return rows;
}

PtyOptions programOptions() {
  PtyOptions options;
  options.rows = screenRows;
  options.cols = screenColumns;
  return options;
}

PtyOptions programWithStandardOutputIn(const std::string& path) {
  PtyOptions options = programOptions();
  // The shell only sets up the redirection and then becomes the program.
  options.arguments = {"-c", "exec \"$0\" >\"$1\"", options.program, path};
  options.program = "/bin/sh";
  return options;
}

testing::AssertionResult waitForMenu(PtySession& session) {
  return session.waitFor(
      [](const VtermScreen& s) {
        if (s.rowText(0) != banner || s.rowText(8) != "=>") return false;
        for (int row = 9; row < s.rows(); ++row) {
          if (!s.rowText(row).empty()) return false;
        }
        const VtermCursor cursor = s.cursor();
        return cursor.row == 8 && cursor.col == 2;
      },
      "the menu on a cleared screen, the cursor behind \"=>\"");
}

testing::AssertionResult waitForAnswerBelow(PtySession& session, std::string_view prompt) {
  const std::string wanted(prompt);
  return session.waitFor(
      [&](const VtermScreen& s) {
        const VtermCursor cursor = s.cursor();
        return cursor.row >= 1 && cursor.col == 0 && s.rowText(cursor.row - 1) == wanted &&
               s.rowText(cursor.row).empty();
      },
      "the cursor on the row below \"" + wanted + "\"");
}

testing::AssertionResult waitForExitQuestion(PtySession& session, std::string_view above) {
  const std::string wanted(above);
  return session.waitFor(
      [&](const VtermScreen& s) {
        const VtermCursor cursor = s.cursor();
        if (cursor.row < 1 || cursor.col != 2 || s.rowText(cursor.row) != "=>") return false;
        return s.rowText(cursor.row - 1) == exitQuestion && s.contains(wanted);
      },
      "the exit question below \"" + wanted + "\", the cursor behind \"=>\"");
}

testing::AssertionResult endsWith(PtySession& session, int exitCode) {
  if (testing::AssertionResult ended = session.waitForExit(); !ended) return ended;
  if (session.exitCode() != exitCode) {
    return testing::AssertionFailure()
           << "exit code " << session.exitCode() << ", signal " << session.terminatingSignal()
           << ", expected " << exitCode << "\n"
           << session.report();
  }
  return session.terminalSettingsRestored();
}

TemporaryFile::TemporaryFile() {
  const char* directory = std::getenv("TMPDIR");
  std::string pattern = std::string(directory ? directory : "/tmp") + "/qv-e2e-XXXXXX";
  const int fd = mkstemp(pattern.data());
  if (fd >= 0) {
    close(fd);
    path_ = pattern;
  }
}

TemporaryFile::~TemporaryFile() {
  if (!path_.empty()) unlink(path_.c_str());
}

std::string TemporaryFile::contents() const {
  std::ifstream in(path_, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace qv::e2e
