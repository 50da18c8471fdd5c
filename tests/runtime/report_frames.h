// The frame lines of a run-time error report ("  0x" and eight hex digits each), as the
// process-end tests of every platform read them, and where addr2line places them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace qv {

inline std::vector<std::uint32_t> frameAddresses(const std::string& text) {
  std::vector<std::uint32_t> frames;
  for (std::size_t at = 0; (at = text.find("\n  0x", at + 1)) != std::string::npos;) {
    frames.push_back(static_cast<std::uint32_t>(std::stoul(text.substr(at + 5, 8), nullptr, 16)));
  }
  return frames;
}

#ifdef QV_ADDR2LINE
// The function and source line ("file.cc:42") of each report address in the executable: the
// addresses are offsets from the load address, made to be read with addr2line. Of a chain of
// inlined functions, the outermost holds the code and gives the line. Unnamed: "??".
struct CodePlace {
  std::string function, line;
};

inline std::vector<CodePlace> placesOf(const std::string& executable,
                                       const std::vector<std::uint32_t>& addresses,
                                       bool demangled = false) {
  std::string command = std::string(QV_ADDR2LINE) + (demangled ? " -C" : "") +
                        " --addresses --functions --inlines -e '" + executable + "'";
  char hex[16];
  for (std::uint32_t address : addresses) {
    std::snprintf(hex, sizeof hex, " 0x%08X", address);
    command += hex;
  }
  std::string text;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) text.append(chunk, n);
  pclose(pipe);
  // Each address's line, then a function's line and its source line for each inlining level.
  std::vector<CodePlace> places;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("0x")) {
      places.push_back({"??", ""});
    } else if (!places.empty()) {
      places.back().function = line;
      std::getline(lines, line);
      line = line.substr(0, line.find(' '));  // without " (discriminator n)"
      places.back().line = line.substr(line.rfind('/') + 1);
    }
  }
  return places;
}
#endif

}  // namespace qv
