#include "picture/chart.h"

namespace qv::picture {

// The plain ASCII chart, 80 by 24, in the terminal's own colours.
ChartTerminal chartTerminal() {
  return {};
}

}  // namespace qv::picture
