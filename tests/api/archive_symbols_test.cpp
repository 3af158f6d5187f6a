// What the library exports: every function it defines lives in namespace pitchtrack (or is a
// pitchtrack_ function of the C interface), so that nothing collides with a host program's own
// names; the shared library shows only the public interface.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/shell.h"
#include "support/temp_dir.h"

namespace {

// The demangled names of the symbols `nm` lists with one of `types` (strong definitions).
std::vector<std::string> definedSymbols(const std::string& options, const std::string& library,
                                        const std::string& types) {
  const testsupport::TempDir scratch;
  const auto run =
      testsupport::runShell(testsupport::shellQuote(PT_NM_COMMAND) + " " + options +
                                " --defined-only -C " + testsupport::shellQuote(library),
                            scratch.root());
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::string> names;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    // "ADDRESS TYPE NAME"; archive member headers and blank lines have no type column.
    const size_t typeAt = line.find(' ');
    if (typeAt == std::string::npos || typeAt + 3 > line.size()) continue;
    if (types.find(line[typeAt + 1]) == std::string::npos) continue;
    names.push_back(line.substr(typeAt + 3));
  }
  return names;
}

bool ours(const std::string& name) {
  return name.starts_with("pitchtrack::") || name.starts_with("pitchtrack_") ||
         name.starts_with("typeinfo for pitchtrack::") ||
         name.starts_with("typeinfo name for pitchtrack::") ||
         name.starts_with("vtable for pitchtrack::");
}

TEST(ArchiveSymbols, EveryDefinedFunctionIsInTheNamespace) {
  const auto names = definedSymbols("", PITCHTRACK_ARCHIVE, "TDRB");
  ASSERT_GT(names.size(), 50u) << "nm listed too little to judge";
  for (const std::string& name : names) EXPECT_TRUE(ours(name)) << name;
}

TEST(ArchiveSymbols, SharedLibraryExportsOnlyThePublicInterface) {
  const auto names = definedSymbols("-D", PITCHTRACK_SHARED, "TDRB");
  bool tracksFiles = false;
  for (const std::string& name : names) {
    EXPECT_TRUE(ours(name)) << name;
    // Internals such as the analysis stages stay hidden.
    EXPECT_EQ(name.find("trackPitch"), std::string::npos) << name;
    EXPECT_EQ(name.find("WaveData"), std::string::npos) << name;
    tracksFiles = tracksFiles || name.starts_with("pitchtrack::trackFile(");
  }
  EXPECT_TRUE(tracksFiles);
}

// The reference implementations and entries that only tests and benchmarks use live in
// tests/support; neither library may define them again.
TEST(ArchiveSymbols, NeitherLibraryHoldsTestOnlyEntries) {
  const char* const testOnly[] = {"pitchtrack::dpPitchPath(",
                                  "pitchtrack::extractPitch(",
                                  "pitchtrack::trackPitch(std::span<int const",
                                  "pitchtrack::analyseFrames(std::span<int const",
                                  "pitchtrack::centreAndScale(",
                                  "pitchtrack::endpointDetect(std::span<int const",
                                  "pitchtrack::setPtParam(",
                                  "pitchtrack::pitchFunction(",
                                  "pitchtrack::pickCandidates(",
                                  "pitchtrack::keepLagsInRange(",
                                  "pitchtrack::frameStarts(",
                                  "pitchtrack::sortWithIndex(",
                                  "pitchtrack::WaveData::load(",
                                  "pitchtrack::WaveData::readSamples(",
                                  "pitchtrack::WaveData::monoSamples(",
                                  "pitchtrack::WaveData::getSampleCount(",
                                  "pitchtrack::frameVolume(std::span<int const",
                                  "pitchtrack::highOrderDiff(std::span<int const"};
  for (const char* library : {PITCHTRACK_ARCHIVE, PITCHTRACK_SHARED}) {
    const auto names = definedSymbols("", library, "TtWw");
    ASSERT_GT(names.size(), 50u) << library << ": nm listed too little to judge";
    for (const std::string& name : names) {
      for (const char* entry : testOnly) {
        EXPECT_FALSE(name.starts_with(entry)) << library << " defines " << name;
      }
    }
  }
}

}  // namespace
