#include "pipeline/resample.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <numeric>
#include <random>
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

// Whether the table gives output i's left sample and fraction bit for bit as the division
// t = i * srcRate / dstRate does.
::testing::AssertionResult tableMatchesDivision(RatePhases& phases, int32_t srcRate,
                                                int32_t dstRate, int64_t i) {
  const double t = static_cast<double>(i) * srcRate / dstRate;
  const auto k = static_cast<int64_t>(t);
  const double f = t - static_cast<double>(k);
  const int64_t position = i * phases.step();
  if (position / phases.period() != k) {
    return ::testing::AssertionFailure() << "left sample of output " << i << " at " << srcRate;
  }
  const int binade = static_cast<int>(std::bit_width(static_cast<uint64_t>(k))) - 1;
  if (!phases.covers(binade)) {
    return ::testing::AssertionFailure() << "output " << i << " at " << srcRate << " not covered";
  }
  const double table = phases.fraction(binade, position % phases.period());
  if (std::memcmp(&table, &f, sizeof f) != 0) {
    return ::testing::AssertionFailure()
           << "fraction of output " << i << " at " << srcRate << ": " << table << " != " << f;
  }
  return ::testing::AssertionSuccess();
}

// Checks every phase of every binade the working signal can reach (up to kMaxWorkingLength
// outputs): the first and the last `period` outputs of each binade, which meet every phase.
void checkEveryPhaseAndBinade(int32_t srcRate) {
  constexpr int64_t kOutputs = int64_t{1} << 31;
  RatePhases phases(srcRate, 8000);
  const int64_t p = phases.step();
  const int64_t d = phases.period();
  int checked = 0;
  for (int binade = 0; phases.covers(binade); ++binade) {
    const int64_t first = ((int64_t{1} << binade) * d + p - 1) / p;
    const int64_t end = std::min(kOutputs, ((int64_t{2} << binade) * d + p - 1) / p);
    if (first >= kOutputs) break;
    checked += first < end ? 1 : 0;  // downsampling skips the lowest binades
    for (int64_t i = first; i < std::min(end, first + d); ++i) {
      ASSERT_TRUE(tableMatchesDivision(phases, srcRate, 8000, i));
    }
    for (int64_t i = std::max(first, end - d); i < end; ++i) {
      ASSERT_TRUE(tableMatchesDivision(phases, srcRate, 8000, i));
    }
  }
  // The binades up to the longest working signal were all reached, and all are covered.
  EXPECT_GE(checked, 25) << srcRate;
  const auto lastLeft = static_cast<uint64_t>((kOutputs - 1) * p / d);
  EXPECT_TRUE(phases.covers(static_cast<int>(std::bit_width(lastLeft)) - 1)) << srcRate;
}

// The phase table replaces the division of every resampled position: the common rates, the
// edges of the supported range and rates spread over it, each over all its phases and binades.
TEST(Resample, PhaseTableEqualsTheDivisionForEveryPhaseAndBinade) {
  for (const int32_t rate :
       {1000,  1001,  4000,  7999,  8001,   11025,  12000,  16000,  22050,  24000,  32000, 44100,
        47999, 48000, 88200, 96000, 176400, 192000, 352800, 384000, 705600, 767999, 768000}) {
    checkEveryPhaseAndBinade(rate);
  }
  // And the table the resampler reads holds those fractions.
  RatePhases phases(44100, 8000);
  const double* table = phases.fractions(20);
  for (int64_t r = 0; r < phases.period(); ++r) EXPECT_EQ(table[r], phases.fraction(20, r));
  for (int32_t rate = 1000; rate <= 768000; rate += 15013) checkEveryPhaseAndBinade(rate);
}

// Every supported rate, at outputs scattered over the reachable range (the single fractions the
// table is built from).
TEST(Resample, PhaseTableEqualsTheDivisionForEverySupportedRate) {
  std::mt19937_64 random(19);
  std::uniform_int_distribution<int64_t> output(1, (int64_t{1} << 31) - 1);
  for (int32_t rate = 1000; rate <= 768000; ++rate) {
    RatePhases phases(rate, 8000);
    for (int n = 0; n < 4; ++n) {
      const int64_t i = output(random) >> (n * 8);
      if (i * rate / 8000 == 0) continue;
      ASSERT_TRUE(tableMatchesDivision(phases, rate, 8000, i));
    }
  }
}

TEST(Resample, PhaseTableLeavesWhatItCannotCoverToTheDivision) {
  EXPECT_FALSE(RatePhases(0, 8000).covers(0));
  EXPECT_FALSE(RatePhases(44100, 8000).covers(-1));  // left sample 0
  EXPECT_FALSE(RatePhases(44100, 8000).covers(39));  // 8000 * 2^40 > 2^52
  EXPECT_TRUE(RatePhases(44100, 8000).covers(38));
  EXPECT_FALSE(RatePhases(1, 100003).covers(0));  // over 65536 phases
}

// Rounding half away from zero without a branch on the sign.
TEST(Resample, InterpolatedSamplesRoundHalfAwayFromZero) {
  EXPECT_EQ(interpolateSample(0, 1, 0.5), 1);
  EXPECT_EQ(interpolateSample(0, -1, 0.5), -1);
  EXPECT_EQ(interpolateSample(0, 1, 0.25), 0);
  EXPECT_EQ(interpolateSample(0, -1, 0.25), 0);
  EXPECT_EQ(interpolateSample(0, 0, 0.5), 0);
  EXPECT_EQ(interpolateSample(-32768, 32767, 0.0), -32768);
  EXPECT_EQ(interpolateSample(-3, 4, 0.5), 1);   // 0.5
  EXPECT_EQ(interpolateSample(3, -4, 0.5), -1);  // -0.5
}

}  // namespace

}  // namespace pitchtrack
