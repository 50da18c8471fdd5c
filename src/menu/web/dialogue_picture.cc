// The picture beside the page's terminal: each method's latest run of this page, drawn by the
// same model and the same SVG document as `quorvendalist --svg`, handed to the page (which only
// shows it, reads its summary aloud and saves it) a few times a second while a run streams and
// when the run has its last step; with the last, the run's rows as `quorvendalist --csv`
// writes them, for runs of up to rowLimit steps.
#include "menu/dialogue_picture.h"

#include <emscripten.h>

#include <optional>
#include <string>
#include <vector>

#include "menu/menu_loop.h"
#include "menu/method_table.h"
#include "methods/csv_rows.h"
#include "methods/methods.h"
#include "picture/svg.h"
#include "web/page.h"

namespace qv {

namespace {

std::optional<picture::ConvergenceSeries> latestRuns[3];
constexpr std::int32_t rowLimit = 100000;
std::string latestRows;  // empty past rowLimit

// Between two pictures of a run that streams: the picture is a few milliseconds of work.
constexpr double growthIntervalMs = 250;
double lastShownMs = 0;

// ended: the run has its last step, and its rows go along (-1: not yet).
void showPicture(char method, bool ended) {
  std::vector<picture::DrawnSeries> drawn;
  std::string summary;
  for (const auto& run : latestRuns) {
    if (!run) continue;
    drawn.push_back({&*run, methodMenuName(std::uint8_t(run->method()))});
    summary += picture::summaryLine(drawn.back()) + "\n";
  }
  const std::string svg = picture::svgDocument(drawn);
  qv_showPicture(svg.data(), int(svg.size()), summary.data(), int(summary.size()),
                 latestRows.data(), ended ? int(latestRows.size()) : -1, method);
  lastShownMs = emscripten_get_now();
}

// The menu's letter and n tell which run an iterate belongs to; its first step starts the
// method's series afresh.
void watchIterate(std::int32_t step, double x, std::string_view text) {
  if (menuChoice < 'a' || menuChoice > 'c') return;
  std::optional<picture::ConvergenceSeries>& run = latestRuns[menuChoice - 'a'];
  const std::int32_t first = menuChoice == 'c' ? 2 : 1;
  if (step == first) {
    run.emplace(char(menuChoice), termCount);
    latestRows = csvHeader;
    latestRows += '\n';
  }
  if (!run) return;
  run->add(step, x);
  if (step - first < rowLimit) {
    latestRows += picture::integer(step);
    latestRows += ',';
    if (text.empty()) {
      String255 made;
      formatReal(0, methodOutput::shownDecimals, Extended{x}, doubleTypeCode, made,
                 String255::capacity);
      latestRows += made.view();
    } else {
      latestRows += text;  // the dialogue's line has it already
    }
    latestRows += '\n';
  } else {
    latestRows.clear();
  }
  if (step == termCount) {
    showPicture(char(menuChoice), true);
  } else if ((step & 4095) == 0 && emscripten_get_now() - lastShownMs >= growthIntervalMs) {
    showPicture(char(menuChoice), false);
  }
}

}  // namespace

void watchDialogueRuns() {
  methodOutput::iterateWatcher = watchIterate;
}

}  // namespace qv
