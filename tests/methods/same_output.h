// The output every build must print byte for byte the same, whatever implements the extended
// arithmetic and whatever processor runs it: the three methods at length (a and b up to
// n = 10,000, c up to n = 100, well past the wrap of its 32-bit elements, and at the edges of
// its n) and a sweep of
// formatReal over every type code, widths, decimals and 80-bit values of every kind. Each sweep
// line shows the call (type code, width, decimals, the value's bits) before its text, so that a
// line that differs says which call it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::testsupport {

struct OutputSection {
  std::string name;
  std::vector<std::string> lines;
};

std::vector<OutputSection> sameOutputSections();

// A digest of lines [first, first + count) of a section: 64-bit FNV-1a over the lines, each
// ended by a line feed. Lines are digested in chunks of this many.
inline constexpr int digestChunkLines = 1000;
std::uint64_t digestOf(const std::vector<std::string>& lines, std::size_t first, std::size_t count);

// What the checked-in digests record for each chunk.
struct ChunkDigest {
  const char* section;
  int chunk;  // lines chunk * digestChunkLines + 1 onwards
  std::uint64_t digest;
};

}  // namespace qv::testsupport
