#include "terminal/reference_output.h"

#include <unistd.h>

#include <cstdio>

#include "arithmetic/extended.h"

namespace qv::bench {

double nextIterate(double x) {
  return static_cast<double>(Extended{1} / Extended{x} + 1);
}

std::string iterateLines(long n) {
  constexpr std::size_t lineLength = 18;  // "1.618033988749895\n"
  std::string lines;
  lines.reserve(std::size_t(n) * lineLength);
  char line[32];
  double x = 1.0;
  for (long i = 0; i < n; ++i) {
    x = nextIterate(x);
    const int length = std::snprintf(line, sizeof line, "%.15f\n", x);
    lines.append(line, std::size_t(length));
  }
  return lines;
}

int printIterates(long n) {
  std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
  double x = 1.0;
  for (long i = 0; i < n; ++i) {
    x = nextIterate(x);
    std::printf("%.15f\n", x);
  }
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

int promptAndWait() {
  constexpr char prompt[] = "=>";
  if (write(STDOUT_FILENO, prompt, sizeof prompt - 1) < 0) return 1;
  char byte = 0;
  while (read(STDIN_FILENO, &byte, 1) == 1 && byte != '\n') {
  }
  return 0;
}

}  // namespace qv::bench
