// The real program on a real (pseudo-)terminal: how fast it pours out a long run of method a,
// what it costs while it waits at the menu, how much memory it takes, how soon its menu is up;
// and the same run of method a written for scripts (`quorvendalist a N` into a pipe).
//
//   terminal_bench [--program PATH] [--lines N] [--runs R] [--startup-runs K]
//                  [--idle-seconds S] [--preload PATH]
//
// Every figure is printed next to its goal; a missed goal is reported, not fatal: the exit
// code is non-zero only when a run went wrong (no prompt, a wrong exit code, a time-out).
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "terminal/pipe_child.h"
#include "terminal/process_usage.h"
#include "terminal/pty_child.h"
#include "terminal/reference_output.h"

namespace qv::bench {
namespace {

constexpr double promptSeconds = 10;
constexpr double runSeconds = 900;
constexpr const char* printIteratesFlag = "--print-iterates";
constexpr const char* promptFlag = "--prompt-and-wait";

struct Options {
  std::string program = QV_PROGRAM_PATH;
  std::string preload = QV_ALLOC_PRELOAD_PATH;
  long lines = 1'000'000;
  int runs = 5;
  int startupRuns = 15;
  double idleSeconds = 5;
};

bool failed = false;

void fail(const std::string& what) {
  std::printf("  FAILED: %s\n", what.c_str());
  failed = true;
}

const char* verdict(bool met) {
  return met ? "goal met" : "GOAL MISSED";
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double seconds(const timeval& t) {
  return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

std::string selfPath() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, std::size_t(n)) : std::string();
}

// Menu choice a with n, then the exit word, all typed as soon as the menu is up.
ChildEnd runMethodA(const Options& options, long n,
                    const std::vector<std::string>& environment = {}) {
  PtyChild child = PtyChild::exec({options.program}, environment);
  if (!child.waitForPrompt(promptSeconds)) {
    fail("no menu prompt from " + options.program);
    return {};
  }
  child.send("a\r" + std::to_string(n) + "\resci\r");
  ChildEnd end = child.finish(runSeconds);
  if (!end.exitedWith(0))
    fail("the program did not end with exit code 0 (n = " + std::to_string(n) + ")");
  return end;
}

// `quorvendalist a n` into a pipe that the bench drains.
ChildEnd runScripted(const Options& options, long n,
                     const std::vector<std::string>& environment = {}) {
  ChildEnd end = runIntoPipe({options.program, "a", std::to_string(n)}, environment, runSeconds);
  if (!end.exitedWith(0))
    fail("the scripted run did not end with exit code 0 (n = " + std::to_string(n) + ")");
  return end;
}

ChildEnd runPrintfLoop(const Options& options) {
  PtyChild child = PtyChild::exec({selfPath(), printIteratesFlag, std::to_string(options.lines)});
  ChildEnd end = child.finish(runSeconds);
  if (!end.exitedWith(0)) fail("the printf loop did not end with exit code 0");
  return end;
}

ChildEnd runSingleWrite(const std::string& lines) {
  PtyChild child = PtyChild::fork([&lines] {
    std::size_t done = 0;
    while (done < lines.size()) {
      const ssize_t n = write(STDOUT_FILENO, lines.data() + done, lines.size() - done);
      if (n <= 0) return 1;
      done += std::size_t(n);
    }
    return 0;
  });
  ChildEnd end = child.finish(runSeconds);
  if (!end.exitedWith(0)) fail("the single write did not end with exit code 0");
  return end;
}

// CPU time is the child's own, kernel time of its writes included; the bench's reading is not.
struct Series {
  std::vector<double> wall, user, system;
  std::int64_t bytes = 0;
  void add(const ChildEnd& end) {
    wall.push_back(end.seconds);
    user.push_back(seconds(end.usage.ru_utime));
    system.push_back(seconds(end.usage.ru_stime));
    bytes = end.bytes;
  }
  void print(const char* name) const {
    std::printf("  %-13s wall %7.3f s  user %6.3f s  sys %6.3f s  %10lld bytes read\n", name,
                median(wall), median(user), median(system), static_cast<long long>(bytes));
  }
};

// The four runs take turns, so that a change in the machine's load meets all of them.
void measureThroughput(const Options& options) {
  std::printf("Throughput: n = %ld lines, 80x25 pty, median of %d runs each\n", options.lines,
              options.runs);
  Series program, printfLoop, singleWrite, scripted;
  for (int run = 0; run < options.runs; ++run) {
    program.add(runMethodA(options, options.lines));
    printfLoop.add(runPrintfLoop(options));
    singleWrite.add(runSingleWrite(iterateLines(options.lines)));
    scripted.add(runScripted(options, options.lines));
  }
  program.print("program");
  printfLoop.print("printf loop");
  singleWrite.print("single write");
  scripted.print("for scripts");
  const double toPrintf = median(program.wall) / median(printfLoop.wall);
  const double toWrite = median(program.wall) / median(singleWrite.wall);
  std::printf("  program / printf loop  = %.2fx (goal <= 0.5x): %s\n", toPrintf,
              verdict(toPrintf <= 0.5));
  std::printf("  program / single write = %.2fx (goal <= 1.5x): %s\n", toWrite,
              verdict(toWrite <= 1.5));
  const double toDialogue = median(scripted.wall) / median(program.wall);
  std::printf("  for scripts (into a pipe) / program (on the pty) = %.2fx (goal <= 1x): %s\n",
              toDialogue, verdict(toDialogue <= 1));
}

void measureIdle(const Options& options) {
  std::printf("Idle at the menu prompt for %.1f s\n", options.idleSeconds);
  PtyChild child = PtyChild::exec({options.program});
  if (!child.waitForPrompt(promptSeconds)) return fail("no menu prompt");
  const std::optional<CpuUsage> before = cpuUsage(child.pid());
  child.drainFor(options.idleSeconds);
  const std::optional<CpuUsage> after = cpuUsage(child.pid());
  child.send("x\resci\r");
  if (!child.finish(promptSeconds).exitedWith(0)) fail("no clean exit after the idle wait");
  if (!before || !after) return fail("cannot read /proc for the program");
  const double scheduledMs = double(after->scheduledNs - before->scheduledNs) / 1e6;
  const long tickedMs = long(after->tickedMs - before->tickedMs);
  std::printf("  cpu used: %.3f ms scheduled (utime+stime: %ld ms, clock-tick resolution)\n",
              scheduledMs, tickedMs);
  std::printf("  goal < 5 ms: %s\n", verdict(scheduledMs < 5 && tickedMs < 5));
}

std::map<std::string, long> readCounts(const std::string& path) {
  std::map<std::string, long> counts;
  std::ifstream file(path);
  std::string name;
  long value = 0;
  while (file >> name >> value) counts[name] = value;
  return counts;
}

using MethodRun = ChildEnd (*)(const Options&, long, const std::vector<std::string>&);

// The counts of the preloaded counter for one run; none when it wrote nothing.
std::optional<std::map<std::string, long>> countAllocations(const Options& options, MethodRun run,
                                                            long n) {
  char path[] = "/tmp/qv_alloc_count_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return std::nullopt;
  close(fd);
  run(options, n, {"LD_PRELOAD=" + options.preload, std::string("QV_ALLOC_COUNT_FILE=") + path});
  std::map<std::string, long> counts = readCounts(path);
  unlink(path);
  if (!counts.count("total")) return std::nullopt;
  std::printf("  n = %-8ld malloc %ld, calloc %ld, realloc %ld, new %ld: total %ld", n,
              counts["malloc"], counts["calloc"], counts["realloc"], counts["new"],
              counts["total"]);
  std::printf(run == runScripted ? "; peak RSS (VmHWM at the exit) %ld KiB\n" : "\n",
              counts["peak_kib"]);
  return counts;
}

// The run of the throughput measurement, stopped at the exit question to read the program's
// own peak before the exit word goes in.
void measurePeakResident(const Options& options) {
  const std::optional<long> benchKiB = anonymousResidentKiB(getpid());
  PtyChild child = PtyChild::exec({options.program});
  if (!child.waitForPrompt(promptSeconds)) return fail("no menu prompt");
  child.send("a\r" + std::to_string(options.lines) + "\r");
  child.expectAnotherPrompt();
  if (!child.waitForPrompt(runSeconds)) return fail("no exit question after the run");
  const std::optional<long> peakKiB = peakResidentKiB(child.pid());
  child.send("esci\r");
  const ChildEnd end = child.finish(promptSeconds);
  if (!end.exitedWith(0) || !peakKiB || !benchKiB) return fail("no peak resident size");
  std::printf("  peak RSS, n = %ld (VmHWM at the exit question): %ld KiB (goal < 4096 KiB): %s\n",
              options.lines, *peakKiB, verdict(*peakKiB < 4096));
  std::printf(
      "  (ru_maxrss from wait4: %ld KiB, which counts the %ld KiB of anonymous memory the "
      "bench had at the fork as the child's)\n",
      end.usage.ru_maxrss, *benchKiB);
}

// A window far larger than the screen buffer's bound: the program uses its top-left part, and
// its memory stays within the buffer's.
void measureHugeWindow(const Options& options) {
  PtyChild child = PtyChild::exec({options.program});
  if (!child.waitForPrompt(promptSeconds)) return fail("no menu prompt");
  child.resize(20000, 20000);
  child.drainFor(1);
  const std::optional<long> peakKiB = peakResidentKiB(child.pid());
  child.send("\resci\r");
  if (!child.finish(promptSeconds).exitedWith(0) || !peakKiB) return fail("no peak resident size");
  std::printf("  peak RSS after a resize to 20000 x 20000: %ld KiB (goal < 16384 KiB): %s\n",
              *peakKiB, verdict(*peakKiB < 16384));
}

void measureMemory(const Options& options) {
  std::printf("Memory\n");
  measurePeakResident(options);
  measureHugeWindow(options);
  if (options.preload.empty()) {
    std::printf("  allocation counts: skipped (no counter in a sanitizer build)\n");
    return;
  }
  const auto few = countAllocations(options, runMethodA, 1000);
  const auto many = countAllocations(options, runMethodA, options.lines);
  if (!few || !many) return fail("no allocation counts (is " + options.preload + " built?)");
  std::printf("  allocations do not grow with n: %s\n",
              verdict(many->at("total") <= few->at("total")));

  // A run for scripts ends as soon as its output is out: the counter reads its peak at the end.
  std::printf("Memory of the runs for scripts (into a pipe)\n");
  const auto fewScripted = countAllocations(options, runScripted, 1000);
  const auto manyScripted = countAllocations(options, runScripted, options.lines);
  if (!fewScripted || !manyScripted) return fail("no counts for the runs for scripts");
  const long growthKiB = manyScripted->at("peak_kib") - fewScripted->at("peak_kib");
  std::printf(
      "  peak RSS grows by %ld KiB from n = 1000 (goal <= 64 KiB), allocations by %ld: "
      "%s\n",
      growthKiB, manyScripted->at("total") - fewScripted->at("total"),
      verdict(growthKiB <= 64 && manyScripted->at("total") <= fewScripted->at("total")));
}

// Milliseconds from the fork until "=>" stands on the terminal; the keys then end the child.
std::optional<double> timeToPrompt(const std::vector<std::string>& argv) {
  PtyChild child = PtyChild::exec(argv);
  if (!child.waitForPrompt(promptSeconds)) return std::nullopt;
  const double milliseconds =
      std::chrono::duration<double, std::milli>(Clock::now() - child.startTime()).count();
  child.send("x\resci\r");
  if (!child.finish(promptSeconds).exitedWith(0)) return std::nullopt;
  return milliseconds;
}

void printSpread(const char* name, const std::vector<double>& milliseconds) {
  std::printf("  %-24s median %6.2f ms  (min %6.2f, max %6.2f)\n", name, median(milliseconds),
              *std::min_element(milliseconds.begin(), milliseconds.end()),
              *std::max_element(milliseconds.begin(), milliseconds.end()));
}

// A plain program that only writes the prompt shows what the machine itself costs.
void measureStartup(const Options& options) {
  std::printf("Start-up: fork to \"=>\" on the terminal, %d runs each\n", options.startupRuns);
  std::vector<double> program, plain;
  for (int run = 0; run < options.startupRuns; ++run) {
    const std::optional<double> ours = timeToPrompt({options.program});
    const std::optional<double> reference = timeToPrompt({selfPath(), promptFlag});
    if (!ours || !reference) return fail("no prompt, or no clean exit after it");
    program.push_back(*ours);
    plain.push_back(*reference);
  }
  printSpread("program (menu drawn)", program);
  printSpread("plain prompt program", plain);
  std::printf("  goal < 10 ms: %s\n", verdict(median(program) < 10));
}

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    const char* value = argv[i + 1];
    if (flag == "--program") {
      options.program = value;
    } else if (flag == "--preload") {
      options.preload = value;
    } else if (flag == "--lines") {
      options.lines = std::atol(value);
    } else if (flag == "--runs") {
      options.runs = std::max(1, std::atoi(value));
    } else if (flag == "--startup-runs") {
      options.startupRuns = std::max(1, std::atoi(value));
    } else if (flag == "--idle-seconds") {
      options.idleSeconds = std::atof(value);
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && options.lines > 0;
}

}  // namespace
}  // namespace qv::bench

int main(int argc, char** argv) {
  using namespace qv::bench;
  if (argc == 3 && std::strcmp(argv[1], printIteratesFlag) == 0) {
    return printIterates(std::atol(argv[2]));
  }
  if (argc == 2 && std::strcmp(argv[1], promptFlag) == 0) return promptAndWait();
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: %s [--program PATH] [--lines N] [--runs R] [--startup-runs K] "
                 "[--idle-seconds S] [--preload PATH]\n",
                 argv[0]);
    return 2;
  }
  std::printf("Program: %s\n", options.program.c_str());
  // The reference bytes come and go with each run: mapped apart from the heap, they leave
  // nothing behind that would swell the bench (and the peak its children inherit).
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  measureThroughput(options);
  measureIdle(options);
  measureMemory(options);
  measureStartup(options);
  return failed ? 1 : 0;
}
