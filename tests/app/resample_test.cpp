#include "resample.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/resample_oracle.h"

namespace pitchtrack {

namespace {

using testsignal::resampleLinear;

// The streaming resampler's output for `src` pushed in one block.
std::vector<int32_t> resample(const std::vector<int32_t>& src, int32_t srcRate, int32_t dstRate) {
  const std::vector<int16_t> narrow(src.begin(), src.end());
  StreamingResampler resampler(srcRate, dstRate);
  resampler.push(narrow);
  const SampleBuffer out = resampler.finish();
  return std::vector<int32_t>(out.samples().begin(), out.samples().end());
}

TEST(Resample, LengthIsFlooredFromTheLastSampleTime) {
  EXPECT_EQ(resampledLength(100, 16000, 8000), 50);  // 99 / 2 = 49.5
  EXPECT_EQ(resampledLength(3, 4000, 8000), 5);
  EXPECT_EQ(resampledLength(11025, 11025, 8000), 8000);  // 7999.27
  EXPECT_EQ(resampledLength(44101, 44100, 8000), 8001);  // exactly 8000 + 1
  // Lengths past the 32-bit range stay exact (a day at 768 kHz).
  EXPECT_EQ(resampledLength(int64_t{66355200001}, 768000, 8000), int64_t{691200001});
  EXPECT_EQ(resampledLength(1, 44100, 8000), 1);
  EXPECT_EQ(resampledLength(0, 44100, 8000), 0);
}

TEST(Resample, HalvingTheRateKeepsEveryOtherSampleAndTheLast) {
  std::vector<int32_t> src(100);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<int32_t>(i * i) - 50;
  const std::vector<int32_t> dst = resample(src, 16000, 8000);
  ASSERT_EQ(dst.size(), 50u);
  for (size_t i = 0; i + 1 < dst.size(); ++i) EXPECT_EQ(dst[i], src[2 * i]) << i;
  EXPECT_EQ(dst[49], src[99]);
}

TEST(Resample, DoublingTheRateInterpolatesMidpoints) {
  EXPECT_EQ(resample({0, 100, 200}, 4000, 8000), (std::vector<int32_t>{0, 50, 100, 150, 200}));
  // Half-way values round away from zero.
  EXPECT_EQ(resample({0, 1, 4}, 4000, 8000), (std::vector<int32_t>{0, 1, 1, 3, 4}));
  EXPECT_EQ(resample({0, -1, -4}, 4000, 8000), (std::vector<int32_t>{0, -1, -1, -3, -4}));
}

TEST(Resample, InterpolatesAtFractionalPositions) {
  // Positions 0, 1.5, 3, 4.5 and the last sample.
  EXPECT_EQ(resample({0, 10, 20, 30, 40, 50, 60}, 3, 2), (std::vector<int32_t>{0, 15, 30, 45, 60}));
  // Position 2/3 of the way: 10 * 2/3 = 6.67 rounds to 7.
  EXPECT_EQ(resample({0, 10, 10, 10}, 2, 3), (std::vector<int32_t>{0, 7, 10, 10, 10}));
}

TEST(Resample, DegenerateLengths) {
  EXPECT_EQ(resample({-7}, 44100, 8000), (std::vector<int32_t>{-7}));
  EXPECT_EQ(resample({}, 44100, 8000), (std::vector<int32_t>{}));
  EXPECT_EQ(resample({3, -3}, 1000, 8000), (std::vector<int32_t>{3, 2, 2, 1, 0, -1, -2, -2, -3}));
}

}  // namespace

}  // namespace pitchtrack
