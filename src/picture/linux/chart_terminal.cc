#include <sys/ioctl.h>
#include <unistd.h>

#include "console/linux/charset.h"
#include "console/linux/terminfo.h"
#include "picture/chart.h"

namespace qv::picture {

ChartTerminal chartTerminal() {
  ChartTerminal terminal;
  if (isatty(STDOUT_FILENO) != 1) return terminal;
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
    terminal.columns = size.ws_col;
    terminal.rows = size.ws_row;
  }
  // Without a description the terminal is taken for a teletype: plain ASCII, no sequence.
  const std::optional<TerminalCapabilities> capabilities = readTerminfo(STDOUT_FILENO);
  if (!capabilities || !capabilities->addressable()) return terminal;
  terminal.braille = localeCharacters().utf8;
  if (capabilities->colours >= 8) {
    // Cyan, magenta and green: apart on dark and light backgrounds alike.
    terminal.colours[0] = capabilities->foreground[6];
    terminal.colours[1] = capabilities->foreground[5];
    terminal.colours[2] = capabilities->foreground[2];
    terminal.plain = capabilities->plain;
  }
  return terminal;
}

}  // namespace qv::picture
