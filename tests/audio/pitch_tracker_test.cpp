#include "audio/pitch_tracker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <utility>
#include <vector>

#include "audio/frame.h"
#include "audio/pitch_function.h"
#include "audio/pt_param.h"
#include "support/reference_tracker.h"
#include "support/signals.h"

namespace pitchtrack {

namespace {

constexpr int32_t kFrame = 256;  // tracker frame at 8000 Hz

struct ScaleCase {
  std::vector<int32_t> signal;
  std::vector<int32_t> expected;
};

// The values joined by '_', e.g. "1_2->0_128".
void PrintTo(const ScaleCase& c, std::ostream* os) {
  for (size_t i = 0; i < c.signal.size(); ++i) *os << (i == 0 ? "" : "_") << c.signal[i];
  *os << "->";
  for (size_t i = 0; i < c.expected.size(); ++i) *os << (i == 0 ? "" : "_") << c.expected[i];
}

class CentreAndScaleTest : public testing::TestWithParam<ScaleCase> {};

TEST_P(CentreAndScaleTest, RemovesTheMeanAndFillsTheRange) {
  std::vector<int32_t> prepared(GetParam().signal.size(), 999);
  testsupport::centreAndScale(GetParam().signal, 8, prepared);
  EXPECT_EQ(prepared, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    PitchTracker, CentreAndScaleTest,
    testing::Values(ScaleCase{{0, 10, -20, 10}, {0, 64, -128, 64}},
                    // Mean 10/4 truncated to 2; 3 * 25.6 = 76.8 and -1 * 25.6 round outward.
                    ScaleCase{{5, -3, 7, 1}, {77, -128, 128, -26}}, ScaleCase{{1, 2}, {0, 128}},
                    // Mean -1.5 truncates toward zero to -1 (floor would give {128, 0}).
                    ScaleCase{{-1, -2}, {0, -128}}, ScaleCase{{4, 4, 4}, {0, 0, 0}},
                    // The sum is 64-bit: 2 * 2^31 - 2 would wrap in 32 bits.
                    ScaleCase{{2147483647, 2147483647, 2147483645}, {128, 128, -128}}));

PtParam trackerParam() { return kTrackerParam; }  // transitionWeight 200, localWeight 1

// 200 Hz at 8000 Hz: a period of 40 samples.
const double kPitchOfLag40 = 69 + 12 * std::log2(200.0 / 440.0);

TEST(PitchTracker, FindsThePeriodOfAToneAndAPulseTrain) {
  for (const auto& signal : {testsignal::harmonicTone(8000, 200, 100, 10 * kFrame),
                             testsignal::pulseTrain(40, 120, 6 * kFrame)}) {
    std::vector<double> pitch(signal.size() / kFrame, -1);
    testsupport::trackPitch(signal, trackerParam(), pitch);
    for (size_t k = 0; k < pitch.size(); ++k) EXPECT_NEAR(pitch[k], kPitchOfLag40, 1e-9) << k;
  }
}

TEST(PitchTracker, FramesWithoutCandidatesKeepTheCallersValues) {
  // tone, tone, silence, silence, tone, silence: the runs are frames 0..1 and frame 4 alone.
  const std::vector<int32_t> tone = testsignal::harmonicTone(8000, 200, 100, kFrame);
  const std::vector<int32_t> quiet = testsignal::silence(kFrame, 37);
  const std::vector<int32_t> signal = testsignal::concat({tone, tone, quiet, quiet, tone, quiet});
  std::vector<double> pitch(6, -1);
  testsupport::trackPitch(signal, trackerParam(), pitch);
  for (const size_t k : {0u, 1u, 4u}) EXPECT_NEAR(pitch[k], kPitchOfLag40, 1e-9) << k;
  for (const size_t k : {2u, 3u, 5u}) EXPECT_EQ(pitch[k], -1) << k;
}

// A lattice given frame by frame: each frame's (lag, pitch-function value) candidates.
FrameAnalysis latticeOf(const std::vector<std::vector<std::pair<int32_t, int32_t>>>& frames) {
  FrameAnalysis analysis;
  analysis.firstCandidate.push_back(0);
  for (const auto& frame : frames) {
    for (const auto& [lag, value] : frame) {
      analysis.lags.push_back(lag);
      analysis.values.push_back(value);
    }
    analysis.firstCandidate.push_back(analysis.lags.size());
  }
  return analysis;
}

// Frames without candidates cut the path into runs that are searched independently: a run
// never bridges the gap, so the second run keeps its own best lag although the first run
// ends far from it, and the frames in the gap keep the caller's values.
TEST(PitchTracker, RunsAreCutAtFramesWithoutCandidates) {
  const double lag80 = 69 + 12 * std::log2(100.0 / 440.0);
  const std::pair<int32_t, int32_t> strong40{40, 9000};
  const std::pair<int32_t, int32_t> weak40{40, 1000};
  const std::pair<int32_t, int32_t> strong80{80, 1200};
  const std::pair<int32_t, int32_t> weak80{80, 100};
  // Counts 3, 0, 0, 0, 2: two single-frame runs.
  std::vector<double> pitch(5, -1);
  trackPitch(latticeOf({{strong40, weak80, {120, 5}}, {}, {}, {}, {weak40, strong80}}),
             trackerParam(), pitch);
  EXPECT_NEAR(pitch[0], kPitchOfLag40, 1e-9);
  EXPECT_EQ(std::vector<double>(pitch.begin() + 1, pitch.begin() + 4), std::vector<double>(3, -1));
  EXPECT_NEAR(pitch[4], lag80, 1e-9);
  // Counts 2, 2, 0, 2, 2, 2: runs 0..1 and 3..5.
  pitch.assign(6, -1);
  trackPitch(latticeOf({{strong40, weak80},
                        {strong40, weak80},
                        {},
                        {weak40, strong80},
                        {weak40, strong80},
                        {weak40, strong80}}),
             trackerParam(), pitch);
  EXPECT_NEAR(pitch[1], kPitchOfLag40, 1e-9);
  EXPECT_EQ(pitch[2], -1);
  for (const size_t k : {3u, 4u, 5u}) EXPECT_NEAR(pitch[k], lag80, 1e-9) << k;
}

// Exact ties go to the lower index on every kernel: between two predecessors (lags 40 and 42
// both reach lag 41 with score 1000 - 200) and between two ends of a run (lag 40: 100 + 1000,
// lag 41: 300 + 1000 - 200).
TEST(PitchTracker, TiesGoToTheLowerIndexOnEveryLevel) {
  const double lag41 = 69 + 12 * std::log2(8000.0 / 41 / 440.0);
  const struct {
    const char* name;
    FrameAnalysis lattice;
    std::vector<double> expected;
  } cases[] = {
      {"tied predecessors",
       latticeOf({{{40, 1000}, {42, 1000}}, {{41, 0}}}),
       {kPitchOfLag40, lag41}},
      {"tied ends",
       latticeOf({{{40, 1000}}, {{40, 100}, {41, 300}}}),
       {kPitchOfLag40, kPitchOfLag40}},
  };
  for (const SimdLevel level : {SimdLevel::kPortable, SimdLevel::kAvx2, SimdLevel::kAvx512}) {
    if (!simdAvailable(level)) continue;
    for (const auto& c : cases) {
      std::vector<double> pitch(2, -1);
      trackPitch(c.lattice, trackerParam(), pitch, level);
      for (size_t k = 0; k < 2; ++k) {
        EXPECT_NEAR(pitch[k], c.expected[k], 1e-9)
            << c.name << ", level " << static_cast<int>(level) << ", frame " << k;
      }
    }
  }
}

TEST(PitchTracker, ConstantOrTooShortSignalWritesNothing) {
  for (const auto& signal :
       {testsignal::silence(4 * kFrame, 12),
        testsignal::harmonicTone(8000, 200, 100, 2 * kFrame - 1), std::vector<int32_t>{}}) {
    std::vector<double> pitch(4, -1);
    testsupport::trackPitch(signal, trackerParam(), pitch);
    EXPECT_EQ(pitch, std::vector<double>(4, -1)) << signal.size();
  }
}

TEST(PitchTracker, ExposesThePitchFunctionsOfThePreparedSignal) {
  const std::vector<int32_t> tone = testsignal::harmonicTone(8000, 200, 3000, 3 * kFrame + 17);
  const PtParam p = trackerParam();
  std::vector<double> pitch(3, -1);
  std::vector<int32_t> functions(3 * kFrame / 2, -1);
  testsupport::trackPitch(tone, p, pitch, functions);

  std::vector<int32_t> prepared(tone.size());
  testsupport::centreAndScale(tone, p.nbits, prepared);
  std::vector<int32_t> expected(functions.size());
  testsupport::pitchFunction(prepared, p.frameSize, p.overlap, p.pfType, expected);
  EXPECT_EQ(functions, expected);
  EXPECT_GT(functions[0], 0);  // lag 0 of frame 0: the energy
  EXPECT_NEAR(pitch[2], kPitchOfLag40, 1e-9);
}

}  // namespace

}  // namespace pitchtrack
