// What the analysis notes about a recording before analysing it: the peak, clipping, and the
// peak in dB that its warnings print.
#include "pipeline/input_level.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "pipeline/analysis_warnings.h"

namespace {

using pitchtrack::pipeline::InputLevel;

TEST(InputLevel, FindsThePeakAndRunsAtFullScaleAcrossBlocks) {
  const struct {
    const char* name;
    int32_t nbits;
    std::vector<std::vector<int16_t>> blocks;
    int32_t peak;
    int64_t clipped, firstClip;
  } cases[] = {
      {"quiet", 16, {{5, -300, 20}}, 300, 0, -1},
      {"full scale once", 16, {{0, 32767, 0, -32768, 0}}, 32768, 0, -1},
      {"two at full scale", 16, {{32767, 32767, 0}}, 32767, 0, -1},
      {"a run of three", 16, {{0, 0, 32767, 32767, 32767, 0}}, 32767, 3, 2},
      {"a run across blocks", 16, {{0, -32768}, {-32768}, {-32767, -32768, 7}}, 32768, 4, 1},
      {"two runs", 16, {{32767, 32767, 32767, 0, -32768, -32768, -32768, -32768}}, 32768, 7, 0},
      {"8-bit around 128", 8, {{128, 100, 200}}, 72, 0, -1},
      {"8-bit clipped", 8, {{128, 255, 255, 255, 0}}, 128, 4, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    InputLevel level(8000, c.nbits);
    for (const auto& block : c.blocks) level.add(block);
    EXPECT_EQ(level.peak(), c.peak);
    EXPECT_EQ(level.clippedSamples(), c.clipped);
    EXPECT_EQ(level.firstClip(), c.firstClip);
  }
}

TEST(InputLevel, PeakInTenthsOfADecibel) {
  using pitchtrack::pipeline::peakTenthsOfDb;
  EXPECT_EQ(peakTenthsOfDb(32768, 32768), 0);
  EXPECT_EQ(peakTenthsOfDb(16384, 32768), -60);
  EXPECT_EQ(peakTenthsOfDb(1024, 32768), -301);
  EXPECT_EQ(peakTenthsOfDb(260, 32768), -420);
  EXPECT_EQ(peakTenthsOfDb(1, 32768), -903);
  EXPECT_EQ(peakTenthsOfDb(64, 128), -60);
  EXPECT_LT(peakTenthsOfDb(0, 32768), -100000);
}

// The rounded value cannot depend on the last bit of log10: no peak lies near a half tenth.
TEST(InputLevel, NoPeakLiesWithinReachOfARoundingTie) {
  for (const int32_t fullScale : {32768, 128}) {
    for (int32_t peak = 1; peak <= fullScale; ++peak) {
      const double tenths = 200 * std::log10(static_cast<double>(peak) / fullScale);
      const double fraction = tenths - std::floor(tenths);
      EXPECT_GT(std::abs(fraction - 0.5), 1e-9) << peak;
    }
  }
}

}  // namespace
