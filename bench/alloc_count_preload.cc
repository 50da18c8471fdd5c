// Loaded into a program with LD_PRELOAD, counts its heap allocations and, as the process ends,
// writes the counts to the file named by QV_ALLOC_COUNT_FILE, with the peak resident size that
// the process reached (VmHWM, in KiB, 0 when unknown):
//   malloc M / calloc C / realloc R / new N / total T / peak_kib P   (one "name count" a line)
// The program ends through _exit, which runs no destructor, so _exit and _Exit are taken over
// too. Memory is handed out by the C library's own allocator, so free needs no counterpart.
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
}

namespace {

std::atomic<std::uint64_t> mallocCalls{0};
std::atomic<std::uint64_t> callocCalls{0};
std::atomic<std::uint64_t> reallocCalls{0};
std::atomic<std::uint64_t> newCalls{0};
std::atomic<bool> reported{false};

void count(std::atomic<std::uint64_t>& calls) {
  calls.fetch_add(1, std::memory_order_relaxed);
}

// Text without the C library's formatting, which could allocate.
char* appendCount(char* out, const char* name, std::uint64_t value) {
  while (*name != '\0') *out++ = *name++;
  *out++ = ' ';
  char digits[24];
  int used = 0;
  do {
    digits[used++] = char('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (used > 0) *out++ = digits[--used];
  *out++ = '\n';
  return out;
}

// VmHWM from /proc/self/status, read without the C library's buffered streams.
std::uint64_t peakResidentKiB() {
  const int fd = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char text[8192];
  const ssize_t length = read(fd, text, sizeof text - 1);
  close(fd);
  if (length <= 0) return 0;
  text[length] = '\0';
  constexpr char key[] = "VmHWM:";
  for (const char* line = text; *line != '\0';) {
    bool match = true;
    for (std::size_t i = 0; i + 1 < sizeof key && match; ++i) match = line[i] == key[i];
    if (match) {
      std::uint64_t value = 0;
      for (const char* c = line + sizeof key - 1; *c != '\n' && *c != '\0'; ++c) {
        if (*c >= '0' && *c <= '9') value = value * 10 + std::uint64_t(*c - '0');
      }
      return value;
    }
    while (*line != '\0' && *line != '\n') ++line;
    if (*line == '\n') ++line;
  }
  return 0;
}

void reportCounts() {
  if (reported.exchange(true)) return;
  const char* path = std::getenv("QV_ALLOC_COUNT_FILE");
  if (path == nullptr) return;
  const std::uint64_t m = mallocCalls, c = callocCalls, r = reallocCalls, n = newCalls;
  char text[256];
  char* end = text;
  end = appendCount(end, "malloc", m);
  end = appendCount(end, "calloc", c);
  end = appendCount(end, "realloc", r);
  end = appendCount(end, "new", n);
  end = appendCount(end, "total", m + c + r + n);
  end = appendCount(end, "peak_kib", peakResidentKiB());
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  for (const char* from = text; from < end;) {
    const ssize_t written = write(fd, from, std::size_t(end - from));
    if (written <= 0) break;
    from += written;
  }
  close(fd);
}

[[noreturn]] void endProcess(int status) {
  reportCounts();
  for (;;) syscall(SYS_exit_group, status);
}

__attribute__((destructor)) void reportAtExit() {
  reportCounts();
}

void* countedNew(std::size_t size) {
  count(newCalls);
  for (;;) {
    if (void* block = __libc_malloc(size == 0 ? 1 : size)) return block;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

void* countedAlignedNew(std::size_t size, std::align_val_t alignment) {
  count(newCalls);
  for (;;) {
    if (void* block = __libc_memalign(std::size_t(alignment), size == 0 ? 1 : size)) return block;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

}  // namespace

extern "C" {

void* malloc(std::size_t size) {
  count(mallocCalls);
  return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) {
  ::count(callocCalls);
  return __libc_calloc(count, size);
}

void* realloc(void* block, std::size_t size) {
  count(reallocCalls);
  return __libc_realloc(block, size);
}

void _exit(int status) {
  endProcess(status);
}

void _Exit(int status) {
  endProcess(status);
}

}  // extern "C"

void* operator new(std::size_t size) {
  return countedNew(size);
}
void* operator new[](std::size_t size) {
  return countedNew(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return countedNew(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return countedNew(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return countedAlignedNew(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return countedAlignedNew(size, alignment);
}
