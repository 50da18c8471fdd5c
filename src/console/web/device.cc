#include "console/web/device.h"

#include <emscripten.h>

#include "channels/web/page_terminal.h"
#include "console/grid_console.h"
#include "console/system_console.h"
#include "runtime/run_error.h"

namespace qv {

namespace {

constexpr std::int32_t standardInputId = -10;
constexpr std::int32_t standardErrorId = -12;
constexpr Handle pageTerminal = 1;  // standard output, the page's terminal in a browser
constexpr std::uint16_t startAttribute = 0x07;
// What a shell reports for a program that Ctrl-C ended (128 + SIGINT).
constexpr int interruptedStatus = 130;

EM_JS(void, qv_pageTerminalSize, (int* size), {
  const term = Module['terminal'];
  HEAP32[size >> 2] = term.cols;
  HEAP32[(size >> 2) + 1] = term.rows;
});

}  // namespace

Handle WebDevice::standardHandle(std::int32_t which) {
  if (which > standardInputId || which < standardErrorId) return noHandle;
  return standardInputId - which;
}

Handle WebDevice::openConsoleOutput() {
  return pageTerminalPresent() ? pageTerminal : noHandle;
}

bool WebDevice::startSession(Handle output, Screen& screen) {
  if (output != pageTerminal || !pageTerminalPresent()) return false;
  int size[2] = {0, 0};
  qv_pageTerminalSize(size);
  screen.columns = size[0];
  screen.rows = size[1];
  screen.cursor = {0, 0};
  screen.attributeWord = startAttribute;
  renderer_.emplace(size[0], size[1]);
  return true;
}

bool WebDevice::beginSession() {
  keyboard_.open();
  renderer_->begin(out_);
  repaint_ = true;
  return present();
}

void WebDevice::endSession() {
  present();
  renderer_->end(grid(), out_);
  // Whatever follows, a report, starts on a line of its own.
  if (grid().cursor().x != 0) out_ += "\r\n";
  send();
  keyboard_.close();
}

bool WebDevice::present() {
  if (!grid().changed() && !repaint_) return true;
  renderer_->render(grid(), out_);
  grid().clearChanges();
  repaint_ = false;
  send();
  return true;
}

void WebDevice::send() {
  pageTerminalWrite(reinterpret_cast<const std::uint8_t*>(out_.data()), out_.size());
  out_.clear();
}

// Ctrl-C ends the program as it does in a terminal; a new size of the page's terminal: the grid
// follows it and the terminal is painted anew.
void WebDevice::handleEvents() {
  if (keyboard_.interrupted()) terminateOnRequest(interruptedStatus);
  int columns = 0;
  int rows = 0;
  if (!keyboard_.takeResize(columns, rows)) return;
  renderer_->resize(columns, rows);
  console().resizeGrid(columns, rows);
  repaint_ = true;
  console().presentFrame();
}

bool WebDevice::countKeys(std::uint32_t& count) {
  keyboard_.take();
  count = static_cast<std::uint32_t>(keyboard_.queue().size());
  return true;
}

bool WebDevice::readKey(InputRecord& record) {
  return keyboard_.queue().pop(record);
}

void WebDevice::waitForKeys() {
  keyboard_.wait();
}

ConsoleDevice& systemConsoleDevice() {
  // Lives as long as the process, as the console that serves it.
  static WebDevice* device = new WebDevice();
  return *device;
}

}  // namespace qv
