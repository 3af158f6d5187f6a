#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <ostream>
#include <utility>
#include <vector>

#include "audio/pt_param.h"
#include "support/expect_fault.h"
#include "support/reference_path_search.h"

namespace pitchtrack {

namespace {

using testsupport::Candidate;
using testsupport::dpPitchPath;
using testsupport::FrameCandidates;

// Frames of (lag, pfValue) candidates in the layout dpPitchPath searches.
class PathRun {
 public:
  PathRun(std::initializer_list<std::vector<std::pair<int32_t, int32_t>>> frames) {
    for (const auto& frame : frames) {
      auto& pool = pools_.emplace_back();
      for (const auto& [lag, value] : frame) pool.push_back(Candidate{lag, value, 7, -1.0f});
    }
    for (auto& pool : pools_) {
      frames_.push_back(FrameCandidates{static_cast<int32_t>(pool.size()), 0, pool});
    }
  }

  std::vector<double> search(const PtParam& p) {
    std::vector<double> pitch(frames_.size(), -1);
    dpPitchPath(frames_, p, pitch);
    return pitch;
  }

  std::vector<int32_t> chosenLags() const {
    std::vector<int32_t> lags;
    for (const FrameCandidates& f : frames_) lags.push_back(f.chosenLag);
    return lags;
  }

  const Candidate& at(size_t frame, size_t index) const { return pools_[frame][index]; }

 private:
  std::vector<std::vector<Candidate>> pools_;
  std::vector<FrameCandidates> frames_;
};

PtParam searchParam(int32_t pfType = 2) {
  PtParam p = kTrackerParam;  // transitionWeight 200, localWeight 1, |lag difference|
  p.pfType = pfType;
  return p;
}

double pitchOfLag(int32_t lag) { return 69 + 12 * std::log2(8000.0 / lag / 440.0); }

TEST(PitchPath, TiedEndScoresGoToTheLowerIndex) {
  PathRun run{{{40, 1000}, {80, 1100}}, {{40, 1000}, {80, 900}}};
  const std::vector<double> pitch = run.search(searchParam());
  // Both end candidates score 2000; lag 40 comes first.
  EXPECT_EQ(run.at(1, 0).cost, 2000.0f);
  EXPECT_EQ(run.at(1, 1).cost, 2000.0f);
  EXPECT_EQ(run.at(1, 0).backPointer, 0);
  EXPECT_EQ(run.at(1, 1).backPointer, 1);
  EXPECT_EQ(run.chosenLags(), (std::vector<int32_t>{40, 40}));
  ASSERT_EQ(pitch.size(), 2u);
  EXPECT_NEAR(pitch[0], 55.349957715, 1e-8);
  EXPECT_NEAR(pitch[1], pitchOfLag(40), 1e-9);
}

TEST(PitchPath, TiedPredecessorsGoToTheLowerIndex) {
  // From 30 and from 50 the jump to 40 costs the same.
  PathRun run{{{30, 1000}, {50, 1000}}, {{40, 0}}};
  run.search(searchParam());
  EXPECT_EQ(run.at(1, 0).backPointer, 0);
  EXPECT_EQ(run.chosenLags(), (std::vector<int32_t>{30, 40}));
}

TEST(PitchPath, OneFrameRunTakesTheBestLocalTerm) {
  for (const int32_t pfType : {1, 2}) {
    PathRun run{{{40, 500}, {50, 900}, {60, 700}}};
    PtParam p = searchParam(pfType);
    p.localWeight = 3;
    const std::vector<double> pitch = run.search(p);
    EXPECT_EQ(run.chosenLags(), (std::vector<int32_t>{pfType == 1 ? 40 : 50}));
    EXPECT_NEAR(pitch[0], pitchOfLag(pfType == 1 ? 40 : 50), 1e-9);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(run.at(0, i).backPointer, -1);
    EXPECT_EQ(run.at(0, 1).cost, 2700.0f);
  }
}

TEST(PitchPath, DifferenceFunctionMinimisesAndAddsThePenalty) {
  PtParam p = searchParam(1);
  p.transitionWeight = 1;
  PathRun minimised{{{40, 100}, {50, 300}}, {{50, 10}}};
  minimised.search(p);
  EXPECT_EQ(minimised.chosenLags(), (std::vector<int32_t>{40, 50}));
  EXPECT_EQ(minimised.at(1, 0).cost, 120.0f);  // 10 + 100 + |50 - 40|

  p.pfType = 2;
  PathRun maximised{{{40, 100}, {50, 300}}, {{50, 10}}};
  maximised.search(p);
  EXPECT_EQ(maximised.chosenLags(), (std::vector<int32_t>{50, 50}));
  EXPECT_EQ(maximised.at(1, 0).cost, 310.0f);
}

TEST(PitchPath, JumpPenaltyKeepsThePathSteady) {
  // Frame 1 alone prefers lag 80, but two jumps of 40 lags outweigh the gain of 100.
  for (const auto& [weight, expected] : {std::pair{200, std::vector<int32_t>{40, 40, 40}},
                                         std::pair{0, std::vector<int32_t>{40, 80, 40}}}) {
    PathRun run{{{40, 1000}}, {{40, 900}, {80, 1000}}, {{40, 1000}}};
    PtParam p = searchParam();
    p.transitionWeight = weight;
    run.search(p);
    EXPECT_EQ(run.chosenLags(), expected) << "transitionWeight " << weight;
  }
}

TEST(PitchPath, ComparesAgainstTheStoredSinglePrecisionBest) {
  // From lag 39 the score is 2^25 - 1, stored as 2^25 in single precision; from lag 40 it is
  // 2^25 exactly, which is no improvement on the stored value.
  PathRun run{{{39, 1 << 25}, {40, 1 << 25}}, {{40, 0}}};
  PtParam p = searchParam();
  p.transitionWeight = 1;
  run.search(p);
  EXPECT_EQ(run.at(1, 0).backPointer, 0);
  EXPECT_EQ(run.chosenLags(), (std::vector<int32_t>{39, 40}));
}

struct JumpCase {
  int32_t distType, distPower;
  float cost;
};

void PrintTo(const JumpCase& c, std::ostream* os) {
  *os << "dist" << c.distType << "_power" << c.distPower << "->" << c.cost;
}

class JumpMeasureTest : public testing::TestWithParam<JumpCase> {};

TEST_P(JumpMeasureTest, PenalisesTheJumpFromFortyToEighty) {
  PathRun run{{{40, 0}}, {{80, 0}}};
  PtParam p = searchParam();
  p.transitionWeight = 3;
  p.distType = GetParam().distType;
  p.distPower = GetParam().distPower;
  run.search(p);
  EXPECT_EQ(run.at(1, 0).cost, GetParam().cost);
}

// Lags 40 and 80 lie 40 lags and 120 tenths of a semitone apart.
INSTANTIATE_TEST_SUITE_P(PitchPath, JumpMeasureTest,
                         testing::Values(JumpCase{1, 1, -120.0f}, JumpCase{1, 2, -4800.0f},
                                         JumpCase{2, 1, -360.0f}, JumpCase{2, 2, -43200.0f}));

TEST(PitchPath, LagTenthsOfSemitoneRoundsThePitchOfTheLag) {
  EXPECT_EQ(lagTenthsOfSemitone(8000, 20), 673);  // 400 Hz, 67.349...
  EXPECT_EQ(lagTenthsOfSemitone(8000, 40), 553);
  EXPECT_EQ(lagTenthsOfSemitone(8000, 80), 433);
  EXPECT_EQ(lagTenthsOfSemitone(8000, 127), 353);
  EXPECT_EQ(lagTenthsOfSemitone(16000, 80), 553);
  EXPECT_EQ(lagTenthsOfSemitone(8000, 0), 0);
}

void searchTwoFrames(const PtParam& p) {
  PathRun run{{{40, 1}}, {{40, 1}}};
  run.search(p);
}

TEST(PitchPath, UnknownTypeIsAFault) {
  testsupport::expectFault([] { searchTwoFrames(searchParam(9)); },
                           "Unknown ptParam.pfType=9 (line 1409 of file lib/audio)");
}

}  // namespace

}  // namespace pitchtrack
