// A terminal emulator in memory (libvterm) for tests: feed it what a program writes to its
// terminal, then look at the cells, the cursor and the rows that went into the scrollback.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct VTerm;
struct VTermState;
struct VTermScreen;

namespace qv {

struct VtermCell {
  std::u32string chars;  // the code points of the glyph; empty for a never-written blank
  int width = 1;         // 2 for a wide glyph, 0 for the cell right of one
  int fg = -1;           // colour index 0-15, or -1 for the terminal's default colour
  int bg = -1;
  bool reverse = false;
  std::string utf8() const;  // the glyph as UTF-8; a blank cell gives " "
};

// A row's glyphs as UTF-8, trailing blanks trimmed.
std::string textOf(const std::vector<VtermCell>& cells);

struct VtermCursor {
  int row = 0;
  int col = 0;
  bool visible = true;
};

class VtermScreen {
 public:
  VtermScreen(int rows, int cols);
  ~VtermScreen();
  VtermScreen(const VtermScreen&) = delete;
  VtermScreen& operator=(const VtermScreen&) = delete;

  void feed(std::string_view bytes);
  void resize(int rows, int cols);
  int rows() const { return rows_; }
  int cols() const { return cols_; }

  VtermCell cell(int row, int col) const;
  std::string rowText(int row) const;          // UTF-8, trailing blanks trimmed
  bool contains(std::string_view text) const;  // on one row of the screen
  VtermCursor cursor() const;

  // Rows that left the top, oldest first.
  const std::vector<std::vector<VtermCell>>& scrollbackCells() const { return scrollback_; }
  std::vector<std::string> scrollbackText() const;
  void clearScrollback() { scrollback_.clear(); }

  // Keys of the numeric keypad, as the terminal sends them in its current keypad mode (through
  // the output callback): digits, * + , - . / =, and '\r' for the keypad Enter.
  void typeOnKeypad(std::string_view keys);

  // Bytes the emulator sends back (answers to queries such as ESC[6n, keys).
  void setOutputCallback(std::function<void(std::string_view)> callback) {
    output_ = std::move(callback);
  }

  // Numbered rows and the cursor, for failure messages.
  std::string dump() const;

 private:
  struct Callbacks;  // libvterm's callbacks, which fill the members below
  friend struct Callbacks;

  int rows_;
  int cols_;
  VTerm* vt_ = nullptr;
  VTermState* state_ = nullptr;
  VTermScreen* screen_ = nullptr;
  bool cursorVisible_ = true;
  std::vector<std::vector<VtermCell>> scrollback_;
  std::function<void(std::string_view)> output_;
};

}  // namespace qv
