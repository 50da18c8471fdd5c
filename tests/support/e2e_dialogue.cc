#include "e2e_dialogue.h"

namespace qv::e2e {

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
    const CellRow cells = i < count ? rows[std::size_t(i)] : CellRow{};
    bool inked = i < count;  // every visible glyph in the colour wanted
    for (const VtermCell& cell : cells) {
      const bool visible = !cell.chars.empty() && cell.chars != U" ";
      inked = inked && (!wanted.ink || !visible || cell.fg == static_cast<int>(*wanted.ink));
    }
    if (textOf(cells) != wanted.text || !inked) {
      differences += "  row " + std::to_string(i) + ": \"" + textOf(cells) + "\"" +
                     (inked ? "" : " (missing or in another colour)") + ", expected \"" +
                     wanted.text + "\"\n";
    }
  }
  if (differences.empty()) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "rows from " << first << " differ:\n"
                                     << differences << session.report();
}

testing::AssertionResult startMethod(PtySession& session, std::string_view letter,
                                     std::string_view prompt, std::string_view count) {
  testing::AssertionResult shown = waitForMenu(session);
  if (shown) session.sendLine(letter);
  if (shown) shown = session.waitForText(prompt);
  if (shown) session.sendLine(count);
  return shown;
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

testing::AssertionResult waitForExitQuestion(PtySession& session, std::string_view above) {
  const std::string wanted(above);
  return session.waitFor(
      [&](const VtermScreen& s) {
        const VtermCursor cursor = s.cursor();
        return cursor.row >= 1 && cursor.col == 2 && s.rowText(cursor.row) == "=>" &&
               s.rowText(cursor.row - 1) == exitQuestion && s.contains(wanted);
      },
      "the exit question, the cursor behind its \"=>\", with \"" + wanted + "\"");
}

}  // namespace qv::e2e
