// Prints the output that every build must print the same (methods/same_output.h), to compare
// two builds by hand when their digests differ:
//   same_output            every section, each line after its section's name and number
//   same_output SECTION    one section
//   same_output --digests  the digests, in the form of same_output_digests.inc
#include "methods/same_output.h"

#include <cinttypes>
#include <cstdio>
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
  bool found = chosen.empty();
  for (const OutputSection& section : sections) {
    if (!chosen.empty() && section.name != chosen) continue;
    found = true;
    for (std::size_t i = 0; i < section.lines.size(); ++i) {
      std::printf("%s %zu: %s\n", section.name.c_str(), i + 1, section.lines[i].c_str());
    }
  }
  if (!found) std::fprintf(stderr, "no section %.*s\n", int(chosen.size()), chosen.data());
  return found ? 0 : 2;
}
