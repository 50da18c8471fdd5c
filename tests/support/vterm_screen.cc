#include "vterm_screen.h"

#include <vterm.h>

#include <cstdio>

namespace qv {

namespace {

int colourIndex(const VTermColor& colour, bool foreground) {
  // Default colours also carry RGB values: test for them first.
  if (foreground ? VTERM_COLOR_IS_DEFAULT_FG(&colour) : VTERM_COLOR_IS_DEFAULT_BG(&colour)) {
    return -1;
  }
  if (VTERM_COLOR_IS_INDEXED(&colour)) return colour.indexed.idx;
  return -2;  // a direct RGB colour: no index
}

VtermCell convert(const VTermScreenCell& source) {
  VtermCell cell;
  for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && source.chars[i] != 0; ++i) {
    cell.chars.push_back(char32_t(source.chars[i]));
  }
  cell.width = source.width;
  cell.fg = colourIndex(source.fg, true);
  cell.bg = colourIndex(source.bg, false);
  cell.reverse = source.attrs.reverse != 0;
  return cell;
}

}  // namespace

std::string textOf(const std::vector<VtermCell>& cells) {
  std::string text;
  for (const VtermCell& cell : cells) {
    if (cell.width == 0) continue;  // the right half of a wide glyph
    text += cell.utf8();
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string VtermCell::utf8() const {
  if (chars.empty()) return " ";
  std::string text;
  char bytes[4];
  for (char32_t c : chars) {
    const int count = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    // The lead byte carries the length in its top bits; each continuation byte six bits.
    for (int i = count - 1; i > 0; --i, c >>= 6) bytes[i] = char(0x80 | (c & 0x3F));
    bytes[0] = char(count == 1 ? c : ((0xF00u >> count) & 0xF0) | c);
    text.append(bytes, std::size_t(count));
  }
  return text;
}

struct VtermScreen::Callbacks {
  static int pushLine(int cols, const VTermScreenCell* cells, void* user) {
    auto* self = static_cast<VtermScreen*>(user);
    std::vector<VtermCell> row;
    for (int i = 0; i < cols; ++i) row.push_back(convert(cells[i]));
    self->scrollback_.push_back(std::move(row));
    return 1;
  }
  // A screen that grows pulls its newest scrolled-off rows back down, as xterm does.
  static int popLine(int cols, VTermScreenCell* cells, void* user) {
    auto* self = static_cast<VtermScreen*>(user);
    if (self->scrollback_.empty()) return 0;
    const std::vector<VtermCell>& row = self->scrollback_.back();
    for (int i = 0; i < cols; ++i) {
      cells[i] = VTermScreenCell{};
      cells[i].width = 1;
      const std::u32string chars = std::size_t(i) < row.size() ? row[i].chars : U"";
      for (std::size_t c = 0; c < chars.size() && c < VTERM_MAX_CHARS_PER_CELL; ++c) {
        cells[i].chars[c] = chars[c];
      }
      vterm_color_indexed(&cells[i].fg, 7);
      vterm_color_indexed(&cells[i].bg, 0);
    }
    self->scrollback_.pop_back();
    return 1;
  }
  static int setTermProp(VTermProp prop, VTermValue* value, void* user) {
    auto* self = static_cast<VtermScreen*>(user);
    if (prop == VTERM_PROP_CURSORVISIBLE) self->cursorVisible_ = value->boolean != 0;
    return 1;
  }
  static void writeOutput(const char* bytes, size_t length, void* user) {
    auto* self = static_cast<VtermScreen*>(user);
    if (self->output_) self->output_(std::string_view(bytes, length));
  }
  static const VTermScreenCallbacks table;
};

const VTermScreenCallbacks VtermScreen::Callbacks::table = {
    .damage = nullptr,
    .moverect = nullptr,
    .movecursor = nullptr,
    .settermprop = &VtermScreen::Callbacks::setTermProp,
    .bell = nullptr,
    .resize = nullptr,
    .sb_pushline = &VtermScreen::Callbacks::pushLine,
    .sb_popline = &VtermScreen::Callbacks::popLine,
};

VtermScreen::VtermScreen(int rows, int cols) : rows_(rows), cols_(cols) {
  // libvterm wants this order; the screen must exist before the callbacks and the reset.
  vt_ = vterm_new(rows, cols);
  vterm_set_utf8(vt_, 1);
  state_ = vterm_obtain_state(vt_);
  screen_ = vterm_obtain_screen(vt_);
  vterm_screen_set_callbacks(screen_, &Callbacks::table, this);
  vterm_screen_set_damage_merge(screen_, VTERM_DAMAGE_SCROLL);
  vterm_screen_reset(screen_, 1);
  vterm_output_set_callback(vt_, &Callbacks::writeOutput, this);
}

VtermScreen::~VtermScreen() {
  vterm_free(vt_);
}

void VtermScreen::feed(std::string_view bytes) {
  // libvterm 0.1.4 crashes on a single write of a couple of megabytes (a program that writes
  // without pause, read in one go): it gets them in pieces.
  constexpr std::size_t piece = 1 << 16;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    const std::string_view part = bytes.substr(at, piece);
    vterm_input_write(vt_, part.data(), part.size());
  }
}

void VtermScreen::resize(int rows, int cols) {
  rows_ = rows;
  cols_ = cols;
  vterm_set_size(vt_, rows, cols);
}

void VtermScreen::typeOnKeypad(std::string_view keys) {
  constexpr std::string_view operators = "*+,-./\r=";  // in the order of libvterm's keys
  for (char key : keys) {
    const std::size_t at = operators.find(key);
    if (key >= '0' && key <= '9') {
      vterm_keyboard_key(vt_, VTermKey(VTERM_KEY_KP_0 + (key - '0')), VTERM_MOD_NONE);
    } else if (at != std::string_view::npos) {
      vterm_keyboard_key(vt_, VTermKey(VTERM_KEY_KP_MULT + int(at)), VTERM_MOD_NONE);
    }
  }
}

VtermCell VtermScreen::cell(int row, int col) const {
  VTermScreenCell raw{};
  vterm_screen_get_cell(screen_, VTermPos{row, col}, &raw);
  return convert(raw);
}

std::string VtermScreen::rowText(int row) const {
  std::vector<VtermCell> cells;
  for (int col = 0; col < cols_; ++col) cells.push_back(cell(row, col));
  return textOf(cells);
}

bool VtermScreen::contains(std::string_view text) const {
  for (int row = 0; row < rows_; ++row) {
    if (rowText(row).find(text) != std::string::npos) return true;
  }
  return false;
}

VtermCursor VtermScreen::cursor() const {
  VTermPos pos{};
  vterm_state_get_cursorpos(state_, &pos);
  return {pos.row, pos.col, cursorVisible_};
}

std::vector<std::string> VtermScreen::scrollbackText() const {
  std::vector<std::string> lines;
  for (const auto& row : scrollback_) lines.push_back(textOf(row));
  return lines;
}

std::string VtermScreen::dump() const {
  std::string text;
  char label[32];
  for (int row = 0; row < rows_; ++row) {
    std::snprintf(label, sizeof label, "%3d|", row);
    text += label + rowText(row) + "|\n";
  }
  const VtermCursor c = cursor();
  std::snprintf(label, sizeof label, "cursor %d,%d%s\n", c.row, c.col,
                c.visible ? "" : " (hidden)");
  text += label;
  return text;
}

}  // namespace qv
