#include "pipeline/precise_choice.h"

#include <gtest/gtest.h>

#include <vector>

namespace pitchtrack {
namespace {

PreciseCandidates candidates(std::vector<PrecisePeak> peaks) {
  PreciseCandidates out;
  for (const PrecisePeak& p : peaks) out.peaks[static_cast<size_t>(out.count++)] = p;
  return out;
}

TEST(PreciseChoice, TakesTheShortestLagNearlyAsPeriodicAsTheBest) {
  const struct {
    std::vector<PrecisePeak> peaks;  // by lag
    int32_t chosen;
  } cases[] = {
      {{}, -1},
      {{{40, 0.7}}, 0},
      {{{20, 0.95}, {40, 0.97}, {60, 0.96}}, 0},  // multiples of the period a hair stronger
      {{{20, 0.85}, {40, 0.97}}, 1},              // a weak shorter peak: half the period
      {{{13, 0.4}, {20, 0.92}, {40, 0.95}}, 1},   // a formant ripple before the period
  };
  for (const auto& c : cases) EXPECT_EQ(choosePreciseCandidate(candidates(c.peaks)), c.chosen);
}

}  // namespace
}  // namespace pitchtrack
