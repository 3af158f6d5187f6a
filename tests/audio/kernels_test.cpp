// Each fast path of the analysis must give exactly what the straightforward code gives: the
// 16-bit autocorrelation kernels (every instruction set the dispatcher can choose), the 16-bit
// detector measures, the counting median and the shared frame analysis. Inputs are seeded
// random frames plus the edges where a fast path must hand over to the general one.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <vector>

#include "audio/autocorrelation.h"
#include "audio/endpoint.h"
#include "audio/frame.h"
#include "audio/pitch_function.h"
#include "audio/pitch_tracker.h"
#include "audio/pt_param.h"
#include "audio/volume.h"
#include "support/signals.h"

namespace pitchtrack {

namespace acf {

// Names the tests of each path; it sits beside the enum so that argument-dependent lookup
// finds it.
static void PrintTo(KernelPath path, std::ostream* os) {
  switch (path) {
    case KernelPath::kReference:
      *os << "Reference";
      return;
    case KernelPath::kPortable:
      *os << "Portable";
      return;
    case KernelPath::kAvx2:
      *os << "Avx2";
      return;
    case KernelPath::kAvx512:
      *os << "Avx512";
      return;
  }
}

}  // namespace acf

namespace {

std::vector<int32_t> randomValues(std::mt19937& random, size_t count, int32_t lowest,
                                  int32_t highest) {
  std::uniform_int_distribution<int32_t> value(lowest, highest);
  std::vector<int32_t> out(count);
  for (int32_t& v : out) v = value(random);
  return out;
}

std::vector<int32_t> referenceAutocorrelation(std::span<const int32_t> frame, size_t lags) {
  std::vector<int32_t> row(lags);
  for (size_t lag = 0; lag < lags; ++lag) {
    row[lag] =
        dotProduct(frame.data(), frame.data() + lag, static_cast<int32_t>(frame.size() - lag));
  }
  return row;
}

const acf::KernelPath kFastPaths[] = {acf::KernelPath::kPortable, acf::KernelPath::kAvx2,
                                      acf::KernelPath::kAvx512};

class KernelPathTest : public testing::TestWithParam<acf::KernelPath> {
 protected:
  void SetUp() override {
    if (!acf::available(GetParam())) GTEST_SKIP() << "instruction set not on this processor";
  }
};

TEST_P(KernelPathTest, AutocorrelationEqualsTheWrappingDotProducts) {
  std::mt19937 random(7);
  // Lengths around the vector widths and lag blocks, small and wide values (the latter must
  // fall back to the 32-bit loop, including sums that wrap).
  for (const size_t length : {1, 2, 7, 16, 17, 31, 33, 64, 255, 256, 257, 640, 1024, 1100}) {
    for (const int32_t magnitude : {1, 128, 1024, 1025, 70000, 2000000000}) {
      const auto frame = randomValues(random, length, -magnitude, magnitude);
      const size_t lags = std::max<size_t>(1, length / 2);
      std::vector<int32_t> row(lags);
      acf::autocorrelate(GetParam(), frame, row);
      EXPECT_EQ(row, referenceAutocorrelation(frame, lags))
          << "length " << length << ", magnitude " << magnitude;
    }
  }
}

TEST_P(KernelPathTest, CentredSixteenBitFramesMatchThePitchFunction) {
  std::mt19937 random(11);
  for (const size_t length : {2, 5, 128, 255, 256, 1024}) {
    for (const int32_t magnitude : {0, 3, 128, kSmallSampleLimit}) {
      const auto frame = randomValues(random, length, -magnitude, magnitude);
      std::vector<int32_t> expected(length / 2);
      std::vector<int32_t> work = frame;
      framePitchFunction(work, 2, expected);
      std::vector<int32_t> row(length / 2);
      acf::centredAutocorrelation(GetParam(), testsignal::toInt16(frame), row);
      EXPECT_EQ(row, expected) << "length " << length << ", magnitude " << magnitude;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Dispatch, KernelPathTest, testing::ValuesIn(kFastPaths));

TEST(Kernels, SixteenBitDetectorMeasuresEqualTheGeneralOnes) {
  std::mt19937 random(3);
  // Narrow frames take the counting median and plain sums; wide ones (a span over 1024 values,
  // full-scale samples, frames over 1024 samples) take selection and wrapping sums.
  for (const int32_t frameSize : {1, 2, 3, 128, 129, 1100}) {
    for (const int32_t magnitude : {0, 1, 255, 600, 32767}) {
      const auto wide =
          randomValues(random, 4 * static_cast<size_t>(frameSize) + 5, -magnitude - 1, magnitude);
      const auto narrow = testsignal::toInt16(wide);
      for (const int32_t overlap : {0, frameSize / 2}) {
        const auto frames =
            static_cast<size_t>(frameCount(static_cast<int32_t>(wide.size()), frameSize, overlap));
        std::vector<int32_t> expected(frames);
        std::vector<int32_t> actual(frames);
        frameVolume(std::span<const int32_t>(wide), frameSize, overlap, expected, 1);
        frameVolume(std::span<const int16_t>(narrow), frameSize, overlap, actual, 1);
        EXPECT_EQ(actual, expected) << "volume, frame " << frameSize << ", magnitude " << magnitude;
        for (int32_t order = 1; order <= 5; ++order) {
          highOrderDiff(std::span<const int32_t>(wide), frameSize, overlap, expected, order);
          highOrderDiff(std::span<const int16_t>(narrow), frameSize, overlap, actual, order);
          EXPECT_EQ(actual, expected) << "order " << order << ", frame " << frameSize;
        }
      }
    }
  }
}

TEST(Kernels, CountingMedianEqualsTheSortedMiddles) {
  std::mt19937 random(5);
  for (int trial = 0; trial < 300; ++trial) {
    const size_t size = 1 + static_cast<size_t>(trial % 130);
    const int32_t spread = trial % 3 == 0 ? 3 : 300;
    const auto frame = randomValues(random, size, -spread, spread);
    std::vector<int32_t> sorted = frame;
    std::sort(sorted.begin(), sorted.end());
    const size_t t = (size - 1) / 2;
    const int32_t median = size % 2 == 1 ? sorted[t] : (sorted[t] + sorted[t + 1]) / 2;
    int32_t expected = 0;
    for (const int32_t v : frame) expected += std::abs(v - median);
    std::vector<int32_t> volume(1);
    frameVolume(std::span<const int16_t>(testsignal::toInt16(frame)), static_cast<int32_t>(size), 0,
                volume, 1);
    EXPECT_EQ(volume[0], expected) << "size " << size;
  }
}

// The pipeline analyses each signal once and tracks both passes from that analysis; this must
// equal tracking from the full pitch-function matrix, pass by pass.
TEST(Kernels, SharedFrameAnalysisTracksLikeTheFullMatrix) {
  std::mt19937 random(13);
  const auto voiced = testsignal::harmonicTone(8000, 180, 100, 4000);
  const auto noise = randomValues(random, 3000, 0, 255);
  const auto signal = testsignal::concat({voiced, noise, testsignal::silence(700, 128), voiced});
  for (const int32_t pfType : {1, 2}) {
    PtParam ptParam;
    setPtParam(ptParam, 8000, 8, pfType);
    const size_t frames = static_cast<size_t>(
        frameCount(static_cast<int32_t>(signal.size()), ptParam.frameSize, ptParam.overlap));
    const FrameAnalysis analysis = analyseFrames(testsignal::toInt16(signal), ptParam);
    for (const float centre : {57.0f, 45.0f, 70.0f}) {
      ptParam.minPitch = centre - 12;
      ptParam.maxPitch = centre + 12;
      std::vector<double> expected(frames, -1.0);
      std::vector<int32_t> matrix(frames * static_cast<size_t>(ptParam.frameSize / 2));
      trackPitch(signal, ptParam, expected, matrix);
      std::vector<double> actual(frames, -1.0);
      trackPitch(analysis, ptParam, actual);
      EXPECT_EQ(actual, expected) << "pfType " << pfType << ", centre " << centre;
    }
  }
}

TEST(Kernels, SixteenBitEndpointDetectionEqualsTheGeneralOne) {
  std::mt19937 random(17);
  const auto tone = testsignal::harmonicTone(8000, 220, 90, 2400);
  const auto signal = testsignal::concat(
      {testsignal::silence(900, 128), tone, randomValues(random, 500, 120, 136), tone});
  EpdParam epdParam;
  setEpdParam(8000, epdParam);
  int32_t wideCount = -1;
  int32_t narrowCount = -1;
  const auto wide = endpointDetect(std::span<const int32_t>(signal), 8000, epdParam, wideCount);
  const auto narrow = endpointDetect(std::span<const int16_t>(testsignal::toInt16(signal)), 8000,
                                     epdParam, narrowCount);
  ASSERT_EQ(narrowCount, wideCount);
  ASSERT_GT(wideCount, 0);
  for (size_t i = 0; i < static_cast<size_t>(wideCount); ++i) {
    EXPECT_EQ(narrow[i].beginFrame, wide[i].beginFrame);
    EXPECT_EQ(narrow[i].endFrame, wide[i].endFrame);
  }
}

}  // namespace

}  // namespace pitchtrack
