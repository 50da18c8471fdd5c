// Runs the run-time error scenarios helper as a child process, with its standard output in a
// regular file, and reads back how it ended; finds the function that holds a code address in
// the helper's own symbol table, so that report addresses can be checked against the source.
#pragma once

#include <elf.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "support/pty_session.h"

namespace qv::testing_child {

inline std::string scenarioProgram() {
  return helperPath("run_error_scenarios");
}

struct ChildEnd {
  bool finished = false;
  int exitCode = -1;  // -1 when it did not end normally
  int signal = 0;
  std::string output;
  std::string errors;
};

inline std::string readAll(int fd) {
  std::string text;
  lseek(fd, 0, SEEK_SET);
  char chunk[4096];
  for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;) text.append(chunk, chunk + n);
  return text;
}

// Waits for the child's end with a deadline; kills it when the deadline passes.
inline bool waitForChild(pid_t pid, int& status, double seconds) {
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (pidfd >= 0) {
    pollfd ready = {pidfd, POLLIN, 0};
    const int waited = poll(&ready, 1, static_cast<int>(scaledSeconds(seconds) * 1000));
    close(pidfd);
    if (waited <= 0) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return false;
    }
  }
  return waitpid(pid, &status, 0) == pid;
}

// The scenario's standard output goes to a regular file: no character device, so the report
// keeps all its frame lines.
inline ChildEnd runScenario(const std::string& scenario, double seconds = 30.0) {
  ChildEnd end;
  const int out = memfd_create("scenario-stdout", 0);
  const int err = memfd_create("scenario-stderr", 0);
  const pid_t pid = fork();
  if (pid == 0) {
    const int input = open("/dev/null", O_RDONLY);
    dup2(input, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    const std::string program = scenarioProgram();
    execl(program.c_str(), program.c_str(), scenario.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  end.finished = pid > 0 && waitForChild(pid, status, seconds);
  if (end.finished && WIFEXITED(status)) end.exitCode = WEXITSTATUS(status);
  if (end.finished && WIFSIGNALED(status)) end.signal = WTERMSIG(status);
  end.output = readAll(out);
  end.errors = readAll(err);
  close(out);
  close(err);
  return end;
}

// A report as read back: the error line's number and address, then the frame lines.
struct ParsedReport {
  bool wellFormed = false;
  std::string before;  // what came before the report
  int number = -1;
  std::uint32_t address = 0;
  std::vector<std::uint32_t> frames;  // the repeated failure address first
};

inline ParsedReport parseReport(const std::string& text) {
  ParsedReport report;
  const std::size_t start = text.find("Runtime error ");
  if (start == std::string::npos) return report;
  report.before = text.substr(0, start);
  static const std::regex errorLine("Runtime error ([0-9]+) at 0x([0-9A-F]{8})");
  static const std::regex frameLine("  0x([0-9A-F]{8})");
  std::size_t at = start;
  bool first = true;
  for (;;) {
    const std::size_t lineEnd = text.find("\r\n", at);
    if (lineEnd == std::string::npos) return report;
    const std::string line = text.substr(at, lineEnd - at);
    at = lineEnd + 2;
    std::smatch match;
    if (first) {
      if (!std::regex_match(line, match, errorLine)) return report;
      report.number = std::stoi(match[1]);
      report.address = static_cast<std::uint32_t>(std::stoul(match[2], nullptr, 16));
      first = false;
    } else if (std::regex_match(line, match, frameLine)) {
      report.frames.push_back(static_cast<std::uint32_t>(std::stoul(match[1], nullptr, 16)));
    } else {
      report.wellFormed = line.empty() && at == text.size();
      return report;
    }
  }
}

// The function symbol of the helper whose code holds the address, or "" when none does.
class SymbolTable {
 public:
  explicit SymbolTable(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    image_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

  std::string functionAt(std::uint32_t address) const {
    if (image_.size() < sizeof(Elf64_Ehdr)) return "";
    const auto& header = *reinterpret_cast<const Elf64_Ehdr*>(image_.data());
    const auto* sections = reinterpret_cast<const Elf64_Shdr*>(image_.data() + header.e_shoff);
    for (int i = 0; i < header.e_shnum; ++i) {
      if (sections[i].sh_type != SHT_SYMTAB) continue;
      const auto* symbols =
          reinterpret_cast<const Elf64_Sym*>(image_.data() + sections[i].sh_offset);
      const char* names = image_.data() + sections[sections[i].sh_link].sh_offset;
      const std::size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
      for (std::size_t s = 0; s < count; ++s) {
        const Elf64_Sym& symbol = symbols[s];
        if (ELF64_ST_TYPE(symbol.st_info) != STT_FUNC) continue;
        if (address >= symbol.st_value && address < symbol.st_value + symbol.st_size) {
          return names + symbol.st_name;
        }
      }
    }
    return "";
  }

 private:
  std::vector<char> image_;
};

inline const SymbolTable& scenarioSymbols() {
  static const SymbolTable table(scenarioProgram());
  return table;
}

// Mangled names of the program's own functions, as the symbol table holds them.
inline constexpr const char* startProgramSymbol = "_ZN2qv12startProgramEPFvvES1_";

}  // namespace qv::testing_child
