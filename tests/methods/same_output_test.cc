// Every build prints the same digits: the output of the methods and of a wide sweep of
// formatReal, compared chunk by chunk with digests recorded from the x87 build on x86-64.
// A differing chunk names its lines; print them with the same_output tool here and on an x87
// build, and compare.
#include "methods/same_output.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <string>

namespace qv {
namespace {

using testsupport::ChunkDigest;

// Recorded with `same_output --digests` from the x87 build (QV_SOFT_EXTENDED=OFF) on x86-64.
constexpr ChunkDigest recordedDigests[] = {
#include "methods/same_output_digests.inc"
};

TEST(SameOutput, EveryChunkAsTheX87BuildPrintsIt) {
  std::size_t recorded = 0;
  for (const testsupport::OutputSection& section : testsupport::sameOutputSections()) {
    for (std::size_t first = 0, chunk = 0; first < section.lines.size();
         first += testsupport::digestChunkLines, ++chunk, ++recorded) {
      ASSERT_LT(recorded, std::size(recordedDigests)) << "more output than was recorded";
      const ChunkDigest& expected = recordedDigests[recorded];
      ASSERT_EQ(section.name, expected.section);
      ASSERT_EQ(chunk, static_cast<std::size_t>(expected.chunk));
      const std::uint64_t digest =
          testsupport::digestOf(section.lines, first, testsupport::digestChunkLines);
      const std::size_t last =
          std::min(first + testsupport::digestChunkLines, section.lines.size());
      EXPECT_EQ(digest, expected.digest)
          << "section " << section.name << ", lines " << first + 1 << " to " << last
          << " differ from the x87 build's; compare those lines of `same_output " << section.name
          << "` here and on an x87 build. The first here: " << section.lines[first];
    }
  }
  EXPECT_EQ(recorded, std::size(recordedDigests)) << "less output than was recorded";
}

}  // namespace
}  // namespace qv
