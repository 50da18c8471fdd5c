#include "console/linux/terminfo.h"

#if QV_TERMINFO
#include <term.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace qv {

namespace {

// A capability's string without the delays ($<5>) that only a terminal on a slow serial line
// needs; empty when the entry lacks it.
std::string stringOf(const char* name) {
  const char* found = tigetstr(name);
  if (found == nullptr || found == reinterpret_cast<const char*>(-1)) return {};
  std::string text;
  for (std::string_view rest = found; !rest.empty();) {
    if (rest.starts_with("$<")) {
      const std::size_t close = rest.find('>');
      if (close != std::string_view::npos) {
        rest.remove_prefix(close + 1);
        continue;
      }
    }
    text += rest.front();
    rest.remove_prefix(1);
  }
  return text;
}

void appendExpanded(std::string& out, const char* expanded) {
  if (expanded != nullptr) out += expanded;
}

// The keys that a description names and the console knows.
struct KeyName {
  const char* name;
  VirtualKey key;
};
constexpr KeyName keyNames[] = {
    {"kcuu1", VirtualKey::up},     {"kcud1", VirtualKey::down}, {"kcuf1", VirtualKey::right},
    {"kcub1", VirtualKey::left},   {"khome", VirtualKey::home}, {"kend", VirtualKey::end},
    {"kich1", VirtualKey::insert}, {"kdch1", VirtualKey::del},  {"kpp", VirtualKey::pageUp},
    {"knp", VirtualKey::pageDown}, {"kent", VirtualKey::enter}, {"kf1", functionKey(1)},
    {"kf2", functionKey(2)},       {"kf3", functionKey(3)},     {"kf4", functionKey(4)},
    {"kf5", functionKey(5)},       {"kf6", functionKey(6)},     {"kf7", functionKey(7)},
    {"kf8", functionKey(8)},       {"kf9", functionKey(9)},     {"kf10", functionKey(10)},
    {"kf11", functionKey(11)},     {"kf12", functionKey(12)},
};

}  // namespace

std::optional<TerminalCapabilities> readTerminfo(int fd) {
  const char* name = std::getenv("TERM");
  if (name == nullptr || *name == '\0') return std::nullopt;
  // A second reading replaces the entry of the first, which would otherwise stay allocated.
  if (cur_term != nullptr) del_curterm(cur_term);
  int status = 0;
  if (setupterm(name, fd, &status) != 0 || status != 1) return std::nullopt;

  TerminalCapabilities c;
  // The parameterised strings are kept, and expanded with tiparm when they are sent.
  if (std::string cup = stringOf("cup"); !cup.empty()) {
    c.cursorAddress = [cup](std::string& out, int row, int column) {
      appendExpanded(out, tiparm(cup.c_str(), row, column));
    };
  }
  if (std::string cuf = stringOf("cuf"); !cuf.empty()) {
    c.cursorRight = [cuf](std::string& out, int count) {
      appendExpanded(out, tiparm(cuf.c_str(), count));
    };
  }
  if (std::string csr = stringOf("csr"); !csr.empty()) {
    c.scrollRegion = [csr](std::string& out, int top, int bottom) {
      appendExpanded(out, tiparm(csr.c_str(), top, bottom));
    };
  }
  c.cursorRight1 = stringOf("cuf1");
  c.eraseLine = stringOf("el");
  c.eraseBelow = stringOf("ed");
  c.autoWrapOff = stringOf("rmam");
  c.autoWrapOn = stringOf("smam");
  // The descriptions of screen and tmux name no way to switch auto-wrap off, though both (as
  // every terminal that addresses its cursor the VT100's way) understand the VT100's: left on,
  // a row written up to its last column is joined to the next when the width changes.
  if (c.autoWrapOff.empty() && c.autoWrapOn.empty() && tigetflag("am") == 1 &&
      stringOf("cup").starts_with("\x1b[")) {
    c.autoWrapOff = "\x1b[?7l";
    c.autoWrapOn = "\x1b[?7h";
  }
  c.keypadOn = stringOf("smkx");
  c.keypadOff = stringOf("rmkx");
  c.hideCursor = stringOf("civis");
  c.showCursor = stringOf("cnorm");
  c.cursorQuery = stringOf("u7");
  c.plain = stringOf("sgr0");
  c.bold = stringOf("bold");

  const std::string setaf = stringOf("setaf");
  const std::string setab = stringOf("setab");
  const int colours = tigetnum("colors");
  c.colours = 0;
  if (colours >= 8 && !setaf.empty() && !setab.empty() && !c.plain.empty()) {
    c.colours = colours;
    for (int i = 0; i < (colours >= 16 ? 16 : 8); ++i) {
      appendExpanded(c.foreground[i], tiparm(setaf.c_str(), i));
      appendExpanded(c.background[i], tiparm(setab.c_str(), i));
    }
  }
  for (const KeyName& key : keyNames) {
    if (std::string bytes = stringOf(key.name); !bytes.empty()) c.keys.emplace_back(bytes, key.key);
  }
  return c;
}

}  // namespace qv

#else

namespace qv {

// Built without libtinfo: every terminal gets the xterm set.
std::optional<TerminalCapabilities> readTerminfo(int) {
  return std::nullopt;
}

}  // namespace qv

#endif
