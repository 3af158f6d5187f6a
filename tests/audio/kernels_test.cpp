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
#include "audio/candidates.h"
#include "audio/frame.h"
#include "audio/pitch_function.h"
#include "audio/pitch_path.h"
#include "audio/pitch_tracker.h"
#include "audio/pt_param.h"
#include "audio/volume.h"
#include "support/reference_detector.h"
#include "support/reference_path_search.h"
#include "support/reference_tracker.h"
#include "support/signals.h"

namespace pitchtrack {

// Names the tests of each level; it sits beside the enum so that argument-dependent lookup
// finds it.
static void PrintTo(SimdLevel level, std::ostream* os) {
  switch (level) {
    case SimdLevel::kPortable:
      *os << "Portable";
      return;
    case SimdLevel::kAvx2:
      *os << "Avx2";
      return;
    case SimdLevel::kAvx512:
      *os << "Avx512";
      return;
  }
}

namespace {

using testsupport::Candidate;
using testsupport::dpPitchPath;
using testsupport::FrameCandidates;

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

const SimdLevel kLevels[] = {SimdLevel::kPortable, SimdLevel::kAvx2, SimdLevel::kAvx512};

class KernelPathTest : public testing::TestWithParam<SimdLevel> {
 protected:
  void SetUp() override {
    if (!simdAvailable(GetParam())) GTEST_SKIP() << "instruction set not on this processor";
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
      autocorrelate(frame, row, GetParam());
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
      centredAutocorrelation(testsignal::toInt16(frame), row, GetParam());
      EXPECT_EQ(row, expected) << "length " << length << ", magnitude " << magnitude;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Dispatch, KernelPathTest, testing::ValuesIn(kLevels));

// The straightforward search of whole lattices: every frame's in-range candidates in one pool of
// Candidate records, cut into runs at frames without candidates, each run searched by
// dpPitchPath.
void referenceSearch(const FrameAnalysis& analysis, const PtParam& ptParam,
                     std::span<double> pitch) {
  const size_t n = analysis.frames();
  if (n < 2) return;
  const LagRange range = lagRange(ptParam);
  std::vector<std::vector<Candidate>> pools(n);
  std::vector<FrameCandidates> frames(n);
  for (size_t f = 0; f < n; ++f) {
    for (size_t c = analysis.firstCandidate[f]; c < analysis.firstCandidate[f + 1]; ++c) {
      if (lagInRange(analysis.lags[c], range)) {
        pools[f].push_back(Candidate{analysis.lags[c], analysis.values[c], -1, 0.0f});
      }
    }
    frames[f] = FrameCandidates{static_cast<int32_t>(pools[f].size()), 0, pools[f]};
  }
  for (size_t j = 0; j < n;) {
    if (frames[j].count == 0) {
      ++j;
      continue;
    }
    size_t e = j + 1;
    while (e < n && frames[e].count != 0) ++e;
    dpPitchPath(std::span(frames).subspan(j, e - j), ptParam, pitch.subspan(j, e - j));
    j = e;
  }
}

// A lattice of `frames` frames with random candidate counts (0 .. widest, empty frames cutting
// runs), lags in 1 .. maxLag (small ranges give many tied jumps) and values in +-magnitude.
FrameAnalysis randomLattice(std::mt19937& random, size_t frames, int32_t widest, int32_t maxLag,
                            int32_t magnitude) {
  std::uniform_int_distribution<int32_t> count(0, widest);
  std::uniform_int_distribution<int32_t> lag(1, maxLag);
  std::uniform_int_distribution<int32_t> value(-magnitude, magnitude);
  std::uniform_int_distribution<int32_t> empty(0, 9);
  FrameAnalysis analysis;
  analysis.firstCandidate.push_back(0);
  for (size_t f = 0; f < frames; ++f) {
    const int32_t n = empty(random) == 0 ? 0 : count(random);
    for (int32_t c = 0; c < n; ++c) {
      analysis.lags.push_back(lag(random));
      analysis.values.push_back(value(random));
    }
    analysis.firstCandidate.push_back(analysis.lags.size());
  }
  return analysis;
}

class PathKernelTest : public testing::TestWithParam<SimdLevel> {
 protected:
  void SetUp() override {
    if (!simdAvailable(GetParam())) GTEST_SKIP() << "instruction set not on this processor";
  }

  void expectReferencePaths(const FrameAnalysis& analysis, const PtParam& ptParam,
                            const char* what) {
    std::vector<double> expected(analysis.frames(), -1.0);
    referenceSearch(analysis, ptParam, expected);
    std::vector<double> actual(analysis.frames(), -1.0);
    trackPitch(analysis, ptParam, actual, GetParam());
    EXPECT_EQ(actual, expected) << what << ", pfType " << ptParam.pfType << ", distType "
                                << ptParam.distType << ", distPower " << ptParam.distPower
                                << ", weights " << ptParam.transitionWeight << "/"
                                << ptParam.localWeight;
  }
};

// Every combination of the scoring settings, with weights small (costs stay exact) and large
// (costs far beyond 2^24, where narrowing a better sum to single precision can tie it with or
// put it below the best so far), on lattices with many tied lags.
TEST_P(PathKernelTest, SearchEqualsThePoolSearchForEverySetting) {
  std::mt19937 random(23);
  for (const int32_t pfType : {1, 2}) {
    for (const int32_t distType : {1, 2}) {
      for (const int32_t distPower : {1, 2}) {
        for (const auto& [transition, local] :
             {std::pair{200, 1}, std::pair{1, 40}, std::pair{11000, 1000}, std::pair{0, 3}}) {
          PtParam ptParam = testsupport::trackerParamFor(pfType);
          ptParam.distType = distType;
          ptParam.distPower = distPower;
          ptParam.transitionWeight = transition;
          ptParam.localWeight = local;
          for (const int32_t maxLag : {12, 127}) {
            const auto analysis = randomLattice(random, 60, 40, maxLag, 4000000);
            expectReferencePaths(analysis, ptParam, "random lattice");
          }
        }
      }
    }
  }
}

// Squared jumps that wrap in 32 bits (lags far apart at a high rate, where the vector kernels
// hand the frames to the portable loop), and frames wider than a byte or two bytes can index
// (wider back pointers).
TEST_P(PathKernelTest, SearchEqualsThePoolSearchAtTheEdges) {
  std::mt19937 random(29);
  PtParam ptParam = kTrackerParam;
  ptParam.fs = 8388607;
  ptParam.minPitch = 0.001f;  // lags up to about a million
  ptParam.maxPitch = 200;
  ASSERT_GT(lagRange(ptParam).maxLag, 1000000);
  for (const int32_t distPower : {1, 2}) {
    ptParam.distPower = distPower;
    expectReferencePaths(randomLattice(random, 40, 30, 1000000, 2000000000), ptParam,
                         "lags up to a million");
  }
  ptParam = kTrackerParam;
  expectReferencePaths(randomLattice(random, 6, 300, 127, 1000), ptParam, "300 wide");
  FrameAnalysis wide = randomLattice(random, 3, 2, 127, 1000);
  const size_t count = 70000;
  for (size_t c = 0; c < count; ++c) {
    wide.lags.push_back(50 + static_cast<int32_t>(c % 7));
    wide.values.push_back(static_cast<int32_t>(c % 1009));
  }
  wide.firstCandidate.push_back(wide.lags.size());
  wide.lags.push_back(52);
  wide.values.push_back(1);
  wide.firstCandidate.push_back(wide.lags.size());
  expectReferencePaths(wide, ptParam, "70000 wide");
}

// The pipeline's settings on the analyses of real signals: tone, noise, silence and tone again.
TEST_P(PathKernelTest, SearchEqualsThePoolSearchOnSignals) {
  std::mt19937 random(31);
  const auto voiced = testsignal::harmonicTone(8000, 180, 100, 4000);
  const auto noise = randomValues(random, 6000, 0, 255);
  const auto signal = testsignal::concat({voiced, noise, testsignal::silence(700, 128), voiced});
  for (const int32_t pfType : {1, 2}) {
    PtParam ptParam = testsupport::trackerParamFor(pfType);
    const FrameAnalysis analysis = analyseFrames(testsignal::toInt16(signal), ptParam);
    for (const float centre : {57.0f, 45.0f, 70.0f}) {
      ptParam.minPitch = centre - 12;
      ptParam.maxPitch = centre + 12;
      expectReferencePaths(analysis, ptParam, "signal");
    }
  }
}

// Links `to` to `from` with linkFrame and with dpPitchPath (a run of the two frames, whose
// first frame's costs are its local terms) and expects the same back pointers and costs.
void expectStepLikeThePoolSearch(SimdLevel level, const PtParam& ptParam,
                                 std::vector<Candidate> from, std::vector<Candidate> to) {
  std::vector<FrameCandidates> run{FrameCandidates{static_cast<int32_t>(from.size()), 0, from},
                                   FrameCandidates{static_cast<int32_t>(to.size()), 0, to}};
  std::vector<double> pitch(2);
  dpPitchPath(run, ptParam, pitch);
  std::vector<int32_t> fromKeys, toKeys, toLocal;
  std::vector<float> fromCosts;
  for (const Candidate& c : from) {
    fromKeys.push_back(c.lag);
    fromCosts.push_back(c.cost);
  }
  for (const Candidate& c : to) {
    toKeys.push_back(c.lag);
    toLocal.push_back(wrapMul(c.pfValue, ptParam.localWeight));
  }
  std::vector<float> costs(to.size());
  std::vector<int32_t> back(to.size());
  path::linkFrame(level, path::JumpScore::of(ptParam),
                  path::FrameStep{fromKeys, fromCosts, toKeys, toLocal}, costs, back);
  for (size_t j = 0; j < to.size(); ++j) {
    EXPECT_EQ(back[j], to[j].backPointer) << from.size() << " to " << to.size() << ", " << j;
    EXPECT_EQ(costs[j], to[j].cost) << from.size() << " to " << to.size() << ", " << j;
  }
}

// One step on its own: every to-candidate's back pointer and cost equal dpPitchPath's for the
// same previous frame, for counts around the lane widths and block sizes.
TEST_P(PathKernelTest, LinkFrameEqualsThePoolSearchStep) {
  std::mt19937 random(37);
  PtParam ptParam = kTrackerParam;
  ptParam.localWeight = 977;
  std::uniform_int_distribution<int32_t> value(-3000000, 3000000);
  // Lags close together (tied jumps), around the largest jump whose square fits 32 bits
  // (46340), and over the whole 32-bit range (jumps and squares wrap).
  for (const int32_t maxLag : {20, 46342, 2147483647}) {
    std::uniform_int_distribution<int32_t> lag(maxLag == 2147483647 ? -maxLag - 1 : 1, maxLag);
    for (const int32_t pfType : {1, 2}) {
      for (const int32_t distPower : {1, 2}) {
        ptParam.pfType = pfType;
        ptParam.distPower = distPower;
        for (const size_t fromCount : {1, 2, 5, 33}) {
          for (const size_t toCount : {1, 3, 4, 7, 8, 9, 15, 16, 17, 31, 33, 40, 70}) {
            std::vector<Candidate> from(fromCount);
            std::vector<Candidate> to(toCount);
            for (Candidate& c : from) c = Candidate{lag(random), value(random), -1, 0.0f};
            for (Candidate& c : to) c = Candidate{lag(random), value(random), -1, 0.0f};
            expectStepLikeThePoolSearch(GetParam(), ptParam, from, to);
          }
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Dispatch, PathKernelTest, testing::ValuesIn(kLevels));

TEST(Kernels, SixteenBitDetectorMeasuresEqualTheWrappingReference) {
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
        testsupport::medianVolumes(wide, frameSize, overlap, expected);
        frameVolume(std::span<const int16_t>(narrow), frameSize, overlap, actual, 1);
        EXPECT_EQ(actual, expected) << "volume, frame " << frameSize << ", magnitude " << magnitude;
        for (int32_t order = 1; order <= 5; ++order) {
          testsupport::highOrderDifferences(wide, frameSize, overlap, expected, order);
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
    PtParam ptParam = testsupport::trackerParamFor(pfType);
    const size_t frames = static_cast<size_t>(
        frameCount(static_cast<int32_t>(signal.size()), ptParam.frameSize, ptParam.overlap));
    const FrameAnalysis analysis = analyseFrames(testsignal::toInt16(signal), ptParam);
    for (const float centre : {57.0f, 45.0f, 70.0f}) {
      ptParam.minPitch = centre - 12;
      ptParam.maxPitch = centre + 12;
      std::vector<double> expected(frames, -1.0);
      std::vector<int32_t> matrix(frames * static_cast<size_t>(ptParam.frameSize / 2));
      testsupport::trackPitch(signal, ptParam, expected, matrix);
      std::vector<double> actual(frames, -1.0);
      trackPitch(analysis, ptParam, actual);
      EXPECT_EQ(actual, expected) << "pfType " << pfType << ", centre " << centre;
    }
  }
}

}  // namespace

}  // namespace pitchtrack
