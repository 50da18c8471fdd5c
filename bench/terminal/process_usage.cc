#include "terminal/process_usage.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace qv::bench {

namespace {

std::string procPath(pid_t pid, const char* file) {
  return "/proc/" + std::to_string(pid) + "/" + file;
}

// utime and stime in clock ticks: fields 14 and 15, counted after the command name, which
// stands in parentheses and may itself hold blanks and parentheses.
std::optional<std::int64_t> tickedTime(pid_t pid) {
  std::ifstream file(procPath(pid, "stat"));
  std::string line;
  if (!std::getline(file, line)) return std::nullopt;
  const std::size_t nameEnd = line.rfind(')');
  if (nameEnd == std::string::npos) return std::nullopt;
  std::istringstream fields(line.substr(nameEnd + 1));
  std::string skipped;
  for (int field = 3; field <= 13; ++field) fields >> skipped;
  std::int64_t user = 0, system = 0;
  if (!(fields >> user >> system)) return std::nullopt;
  return user + system;
}

}  // namespace

std::optional<CpuUsage> cpuUsage(pid_t pid) {
  CpuUsage usage;
  std::ifstream schedstat(procPath(pid, "schedstat"));
  if (!(schedstat >> usage.scheduledNs)) return std::nullopt;
  const std::optional<std::int64_t> ticks = tickedTime(pid);
  if (!ticks) return std::nullopt;
  usage.tickedMs = *ticks * 1000 / sysconf(_SC_CLK_TCK);
  return usage;
}

namespace {

std::optional<long> statusKiB(pid_t pid, const char* pattern) {
  std::ifstream status(procPath(pid, "status"));
  std::string line;
  while (std::getline(status, line)) {
    long kib = 0;
    if (std::sscanf(line.c_str(), pattern, &kib) == 1) return kib;
  }
  return std::nullopt;
}

}  // namespace

std::optional<long> anonymousResidentKiB(pid_t pid) {
  return statusKiB(pid, "RssAnon: %ld kB");
}

std::optional<long> peakResidentKiB(pid_t pid) {
  return statusKiB(pid, "VmHWM: %ld kB");
}

}  // namespace qv::bench
