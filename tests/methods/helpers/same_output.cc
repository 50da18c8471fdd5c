// Prints the output that every build must print the same (methods/same_output.h), to compare
// two builds by hand when their digests differ:
//   same_output                       every section, each line after its section's name
//   same_output SECTION [FIRST LAST]  the lines FIRST to LAST (from 1) of one section
//   same_output --digests             the digests, in the form of same_output_digests.inc
#include "methods/same_output.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string_view>

int main(int argc, char** argv) {
  using namespace qv::testsupport;
  const std::vector<OutputSection> sections = sameOutputSections();
  const std::string_view chosen = argc > 1 ? argv[1] : "";
  if (chosen == "--digests") {
    for (const OutputSection& section : sections) {
      for (std::size_t first = 0, chunk = 0; first < section.lines.size();
           first += digestChunkLines, ++chunk) {
        std::printf("{\"%s\", %zu, 0x%016" PRIX64 "},\n", section.name.c_str(), chunk,
                    digestOf(section.lines, first, digestChunkLines));
      }
    }
    return 0;
  }
  const long firstLine = argc > 3 ? std::atol(argv[2]) : 1;
  const long lastLine = argc > 3 ? std::atol(argv[3]) : -1;
  bool found = chosen.empty();
  for (const OutputSection& section : sections) {
    if (!chosen.empty() && section.name != chosen) continue;
    found = true;
    for (std::size_t i = 0; i < section.lines.size(); ++i) {
      const long line = static_cast<long>(i) + 1;
      if (line < firstLine || (lastLine >= 0 && line > lastLine)) continue;
      std::printf("%s %ld: %s\n", section.name.c_str(), line, section.lines[i].c_str());
    }
  }
  if (!found) std::fprintf(stderr, "no section %.*s\n", int(chosen.size()), chosen.data());
  return found ? 0 : 2;
}
