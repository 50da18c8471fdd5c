#include "process_scenario.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "channels/io_result.h"

namespace qv {
namespace {

const Scenario* chosen = nullptr;

std::string readAll(int fd) {
  std::string text;
  lseek(fd, 0, SEEK_SET);
  char chunk[4096];
  for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;) text.append(chunk, chunk + n);
  close(fd);
  return text;
}

// The report in a file ends its lines as Linux text files do.
std::string reportText(int number, const std::vector<std::uint32_t>& frames) {
  const auto hex8 = [](std::uint32_t value) { return std::string(hexDigits(value, 8).view()); };
  std::string text = restoredLine() + "Runtime error " + std::to_string(number) + " at 0x" +
                     hex8(frames.at(0)) + "\n";
  for (std::uint32_t frame : frames) text += "  0x" + hex8(frame) + "\n";
  return text + "\n";
}

// qemu-user says so when a signal's default action ends the program it runs; the program
// itself writes nothing then.
std::string withoutEmulatorRemark(std::string errors) {
  constexpr std::string_view remark = "qemu: uncaught target signal ";
  if (errors.starts_with(remark)) errors.erase(0, errors.find('\n') + 1);
  return errors;
}

// The report's addresses as addr2line reads them from this very executable.
std::vector<CodePlace> placesHere(const std::vector<std::uint32_t>& addresses) {
  char executable[4096];
  const ssize_t length = readlink("/proc/self/exe", executable, sizeof executable);
  if (length <= 0 || length == sizeof executable) return {};
  return placesOf(std::string(executable, std::size_t(length)), addresses);
}

std::vector<std::string> functionsAt(const std::vector<std::uint32_t>& addresses) {
  std::vector<std::string> functions;
  for (const CodePlace& place : placesHere(addresses)) functions.push_back(place.function);
  return functions;
}

}  // namespace

volatile double extendedOperand = 0.0;

void reportFpuState() {
  const std::string line = "restored " + floatingPointState() + "\r\n";
  if (write(STDOUT_FILENO, line.data(), line.size()) < 0) scenarioSink = 3;
}

std::string restoredLine() {
  return std::string("restored ") + programFloatingPointState + "\r\n";
}

// The deadline is the child's own alarm.
ChildEnd runScenario(const Scenario& scenario, bool onTerminal) {
  const int out = memfd_create("scenario-stdout", 0), err = memfd_create("scenario-stderr", 0);
  int terminal = -1;
  const pid_t pid = onTerminal ? forkpty(&terminal, nullptr, nullptr, nullptr) : fork();
  if (pid == 0) {
    if (!onTerminal) dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
    if (!onTerminal) dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    const rlimit noCoreFile = {0, 0};
    setrlimit(RLIMIT_CORE, &noCoreFile);
    const char* scale = std::getenv("QV_TEST_TIMEOUT_SCALE");
    alarm(30u *
          static_cast<unsigned>(scale != nullptr && std::atoi(scale) > 1 ? std::atoi(scale) : 1));
    chosen = &scenario;
    callsLeft = scenario.nestedCalls;
    setTerminalRestoreStep(scenario.restoreStep);
    startProgram(scenario.consoleModule, qvScenarioMain);
  }
  ChildEnd end;
  if (onTerminal) end.output = readAll(terminal);  // until the child's end closes the terminal
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid) {
    end.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  const std::string output = readAll(out);
  if (!onTerminal) end.output = output;
  end.errors = withoutEmulatorRemark(readAll(err));
  return end;
}

void expectReport(const ReportCase& c) {
  SCOPED_TRACE(c.functions.front());
  const ChildEnd end = runScenario(c.scenario);
  EXPECT_EQ(end.exitCode, c.number) << end.errors;
  const std::vector<std::uint32_t> frames = frameAddresses(end.output);
  ASSERT_FALSE(frames.empty()) << end.output;
  EXPECT_EQ(end.output, reportText(c.number, frames));
  std::vector<std::string> functions = c.functions;
#if defined(__powerpc64__)
  // ppc64's unwinder does not know qemu-user's signal frame: a processor fault's report names
  // the faulting instruction, not the calls that led there.
  if (c.number == 202 || c.number == 216 || c.number == 217) functions.resize(1);
#elif defined(__arm__)
  // 32-bit ARM's unwinder has no rule for a signal frame, and an overflow leaves no stack to
  // raise the error from the faulting code.
  if (c.number == 202) functions.resize(1);
#endif
  EXPECT_EQ(functionsAt(frames), functions) << end.output;
  // (Under the address sanitizer the switch to the recovery stack draws a remark.)
  EXPECT_TRUE(end.errors.empty() || c.functions.front() == "qvRecurse") << end.errors;
}

std::string sourceLineOf(std::uint32_t address) {
  const std::vector<CodePlace> places = placesHere({address});
  return places.empty() ? "" : places.front().line;
}

std::vector<std::string> faultIn(const char* function) {
  return {function, "qvScenarioMain", startProgramSymbol};
}

void expectEnd(const EndCase& c) {
  const ChildEnd end = runScenario(c.scenario);
  EXPECT_EQ(end.exitCode, c.exitCode) << c.what;
  EXPECT_EQ(end.output, c.output) << c.what;
  EXPECT_EQ(end.errors, "") << c.what;
}

}  // namespace qv

extern "C" {

__attribute__((noinline)) void qvScenarioMain() {
  if (qv::chosen->step == nullptr) {
    qv::ioResult = 106;
    qv::checkIo();
  } else {
    qv::chosen->step();
  }
  qv::scenarioSink = 2;
  qv::exitCode = 0;
  qv::terminateProgram();
}

}  // extern "C"
