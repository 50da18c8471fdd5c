// The picture beside the page's terminal: each method's latest run of this page, drawn by the
// same model and the same SVG document as `quorvendalist --svg`, handed to the page (which only
// shows it, reads its summary aloud and saves it) when the run has its last step; with it the
// latest run's rows as `quorvendalist --csv` writes them, for runs of up to rowLimit steps.
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

namespace qv {

namespace {

EM_JS(void, qv_showPicture,
      (const char* svg, int svgLength, const char* summary, int summaryLength, const char* rows,
       int rowsLength, int method),
      {
        const show = globalThis['quorvendalistPicture'];
        if (show) {
          show(UTF8ToString(svg, svgLength), UTF8ToString(summary, summaryLength),
               rowsLength > 0 ? UTF8ToString(rows, rowsLength) : null, String.fromCharCode(method));
        }
      });

std::optional<picture::ConvergenceSeries> latestRuns[3];
constexpr std::int32_t rowLimit = 100000;
std::string latestRows;  // empty past rowLimit

void showPicture(char method) {
  std::vector<picture::DrawnSeries> drawn;
  std::string summary;
  for (const auto& run : latestRuns) {
    if (!run) continue;
    drawn.push_back({&*run, methodMenuName(std::uint8_t(run->method()))});
    summary += picture::summaryLine(drawn.back()) + "\n";
  }
  const std::string svg = picture::svgDocument(drawn);
  qv_showPicture(svg.data(), int(svg.size()), summary.data(), int(summary.size()),
                 latestRows.data(), int(latestRows.size()), method);
}

// The menu's letter and n tell which run an iterate belongs to; its first step starts the
// method's series afresh.
void watchIterate(std::int32_t step, double x) {
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
    String255 text;
    formatReal(0, methodOutput::shownDecimals, Extended{x}, doubleTypeCode, text,
               String255::capacity);
    latestRows += picture::integer(step) + "," + std::string(text.view()) + "\n";
  } else {
    latestRows.clear();
  }
  if (step == termCount) showPicture(char(menuChoice));
}

}  // namespace

void watchDialogueRuns() {
  methodOutput::iterateWatcher = watchIterate;
}

}  // namespace qv
