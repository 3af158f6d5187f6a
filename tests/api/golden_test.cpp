// End-to-end cases against the expected outputs: the pitch file, standard output and exit
// status must match byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;

class Golden : public testing::TestWithParam<std::string> {};

TEST_P(Golden, MatchesByteForByte) {
  const fs::path caseDir = fs::path(TEST_DATA_DIR) / "golden" / GetParam();
  testsupport::TempDir work;
  fs::copy_file(caseDir / "in.wav", work.path("in.wav"));

  const testsupport::ToolRun run = testsupport::runTool(work.root(), "in.wav out.pitch");

  EXPECT_EQ(std::to_string(run.status) + "\n", readFile(caseDir / "status.txt"));
  EXPECT_EQ(run.output, readFile(caseDir / "stdout.txt"));
  EXPECT_EQ(readFile(work.path("out.pitch")), readFile(caseDir / "expected.pitch"));
}

INSTANTIATE_TEST_SUITE_P(Recordings, Golden,
                         testing::Values("01_melody_8k_u8", "02_melody_high_8k_s16",
                                         "03_melody_44100_s16", "04_melody_8k_mulaw",
                                         "05_melody_44100_stereo", "06_melody_48000_s24_ext",
                                         "07_vibrato_16000", "08_glide_high_16000",
                                         "09_speech_female_noisy_8k", "10_melody_11025",
                                         "11_silence", "12_samples_511"));

}  // namespace
