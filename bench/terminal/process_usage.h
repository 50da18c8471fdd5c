// What a running process has used so far, read from /proc.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>

namespace qv::bench {

struct CpuUsage {
  // On-CPU time the scheduler accounted (nanoseconds, /proc/<pid>/schedstat).
  std::int64_t scheduledNs = 0;
  // utime + stime (/proc/<pid>/stat), in milliseconds; only as fine as the clock tick.
  std::int64_t tickedMs = 0;
};

std::optional<CpuUsage> cpuUsage(pid_t pid);

// Resident memory from /proc/<pid>/status in KiB: the peak since the process last started a
// program (VmHWM), and its anonymous memory now (RssAnon). The peak that wait4 reports
// (ru_maxrss) is no substitute for a child's: the kernel carries over the high-water mark of
// the image an exec replaced, and a forked child starts with a copy of its parent's anonymous
// memory.
std::optional<long> peakResidentKiB(pid_t pid);
std::optional<long> anonymousResidentKiB(pid_t pid);

}  // namespace qv::bench
