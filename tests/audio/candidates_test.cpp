#include "audio/candidates.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <random>
#include <utility>
#include <vector>

#include "audio/pt_param.h"
#include "support/expect_fault.h"
#include "support/reference_tracker.h"

namespace pitchtrack {

namespace {

PtParam trackerParam(int32_t pfType = 2, int32_t fs = 8000) {
  return testsupport::trackerParamFor(pfType, fs);
}

std::vector<int32_t> pick(const std::vector<int32_t>& function, const PtParam& p) {
  std::vector<int32_t> lags(function.size(), -1);
  const int32_t n = testsupport::pickCandidates(function, p, lags);
  lags.resize(static_cast<size_t>(n));
  return lags;
}

// 128 lags: a fall from lag 0 to a floor (0 unless given) at lag 10, then flat, except for the
// given (lag, value) points.
std::vector<int32_t> withPoints(std::initializer_list<std::pair<int, int32_t>> points,
                                int32_t floorLevel = 0) {
  std::vector<int32_t> v(128, floorLevel);
  for (int lag = 0; lag < 10; ++lag) v[static_cast<size_t>(lag)] = floorLevel + 100 * (10 - lag);
  for (const auto& [lag, value] : points) v[static_cast<size_t>(lag)] = value;
  return v;
}

// The same floor with the lags first..last all set to `value`.
std::vector<int32_t> withPlateau(int first, int last, int32_t value) {
  std::vector<int32_t> v = withPoints({});
  for (int lag = first; lag <= last; ++lag) v[static_cast<size_t>(lag)] = value;
  return v;
}

struct PickCase {
  const char* name;
  std::vector<int32_t> function;
  std::vector<int32_t> expected;
};

void PrintTo(const PickCase& c, std::ostream* os) { *os << c.name; }

class AutocorrelationPeaksTest : public testing::TestWithParam<PickCase> {};

TEST_P(AutocorrelationPeaksTest, PicksMiddlesOfLocalMaxima) {
  EXPECT_EQ(pick(GetParam().function, trackerParam(2)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Candidates, AutocorrelationPeaksTest,
    testing::Values(
        PickCase{"SinglePeak", withPoints({{40, 50}}), {40}},
        PickCase{"OddFlatTop", withPoints({{40, 50}, {41, 50}, {42, 50}}), {41}},
        PickCase{"EvenFlatTopTakesRightMiddle", withPoints({{40, 50}, {41, 50}}), {41}},
        PickCase{"ShoulderBeforeThePeakIsNotAPeak", withPoints({{41, 5}, {42, 5}, {43, 9}}), {43}},
        PickCase{"StaircaseDownAfterAPeakGivesOne",
                 withPoints({{40, 9}, {41, 5}, {42, 5}, {43, 2}}),
                 {40}},
        PickCase{"RisingAtTheLastLagIsNotAPeak", withPoints({{40, 50}, {127, 50}}), {40}},
        PickCase{"FlatTopReachingTheLastLagIsNotAPeak", withPlateau(120, 127, 50), {}},
        PickCase{"PeaksKeptInLagOrder", withPoints({{20, 5}, {40, 50}, {80, 30}}), {20, 40, 80}},
        // The lag range at 8000 Hz is 8..173: lag 7 is too short a period.
        PickCase{"BelowMinLagDropped", withPoints({{7, 1000}, {9, 0}, {12, 1}}), {12}},
        PickCase{"MinLagKept", withPoints({{8, 1000}, {9, 0}, {12, 1}}), {8, 12}}));

TEST(Candidates, MagnitudeDifferencePicksMinima) {
  PtParam p = trackerParam(1);
  p.extremaOnly = 1;
  EXPECT_EQ(pick(withPoints({{40, 0}, {60, 3}, {61, 3}}, 1000), p), (std::vector<int32_t>{40, 61}));
  // The flat bottom 10..39 before a peak is a minimum; the peak at 40 is not.
  EXPECT_EQ(pick(withPoints({{40, 2000}}, 1000), p), (std::vector<int32_t>{25}));
}

TEST(Candidates, ShortFunctionsInAWideRange) {
  PtParam p = trackerParam(1);
  p.extremaOnly = 1;
  p.maxPitch = 127;  // admits lags down to 1
  EXPECT_EQ(pick({9, 5, 5, 7}, p), (std::vector<int32_t>{2}));
  p.pfType = 2;
  EXPECT_EQ(pick({1, 4, 4, 2}, p), (std::vector<int32_t>{2}));
  EXPECT_EQ(pick({9, 4, 6, 2}, p), (std::vector<int32_t>{2}));  // lag 0 is never a peak
  for (const int32_t extremaOnly : {0, 1}) {
    p.extremaOnly = extremaOnly;
    EXPECT_EQ(pick({}, p).size(), 0u);
    EXPECT_EQ(pick({5}, p).size(), 0u);
  }
}

TEST(Candidates, RangeBoundsAreInclusive) {
  PtParam p = trackerParam(2);
  p.extremaOnly = 0;
  p.pfType = 9;  // every-lag mode never looks at the pitch function's type
  const std::vector<int32_t> flat(128, 7);
  std::vector<int32_t> lags = pick(flat, p);
  ASSERT_EQ(lags.size(), 120u);
  EXPECT_EQ(lags.front(), 8);
  EXPECT_EQ(lags.back(), 127);

  p.minPitch = 40;  // 82.4 Hz: the longest lag becomes 97
  lags = pick(flat, p);
  ASSERT_EQ(lags.size(), 90u);
  EXPECT_EQ(lags.front(), 8);
  EXPECT_EQ(lags.back(), 97);

  p.pfType = 2;
  p.extremaOnly = 1;
  EXPECT_EQ(pick(withPoints({{97, 50}}), p), (std::vector<int32_t>{97}));
  EXPECT_EQ(pick(withPoints({{98, 50}}), p), (std::vector<int32_t>{}));
}

TEST(Candidates, LagRangeFollowsRateAndPitchRange) {
  PtParam p = trackerParam(2, 8000);
  EXPECT_EQ(lagRange(p).minLag, 8);
  EXPECT_EQ(lagRange(p).maxLag, 173);
  p.extremaOnly = 0;
  p.minPitch = 0;  // no longest lag: nothing survives
  EXPECT_EQ(pick(std::vector<int32_t>(128, 1), p).size(), 0u);
  p.minPitch = 30;
  p.maxPitch = -1;  // no shortest lag: every lag from 1
  EXPECT_EQ(pick(std::vector<int32_t>(128, 1), p).size(), 127u);

  const LagRange at16k = lagRange(trackerParam(2, 16000));
  EXPECT_EQ(at16k.minLag, 15);
  EXPECT_EQ(at16k.maxLag, 346);
}

TEST(Candidates, UnknownTypeIsAFaultForExtrema) {
  PtParam p = trackerParam(2);
  p.pfType = 9;
  const std::vector<int32_t> function = withPoints({{40, 50}});
  testsupport::expectFault([&] { pick(function, p); },
                           "Unknown ptParam.pfType=9 (line 1235 of file lib/audio)");
}

// Random pitch functions of lengths around the vector widths, some with steps only, some with
// many equal neighbours (flat tops, plateaus, silence), against the portable loop.
TEST(Candidates, EveryVectorLevelPicksThePortableLags) {
  std::mt19937 generator(7);
  for (const int32_t pfType : {1, 2}) {
    const PtParam p = trackerParam(pfType);
    for (const size_t length : {0, 1, 2, 3, 8, 9, 16, 17, 63, 64, 65, 66, 128, 129, 200}) {
      for (const int32_t spread : {0, 1, 2, 5, 1000, 1 << 30}) {
        std::uniform_int_distribution<int32_t> value(-spread, spread);
        std::vector<int32_t> function(length);
        for (int32_t& v : function) v = value(generator);
        std::vector<int32_t> expected(length, -1);
        expected.resize(
            static_cast<size_t>(pickRawCandidates(function, p, expected, SimdLevel::kPortable)));
        for (const SimdLevel level : {SimdLevel::kAvx2, SimdLevel::kAvx512}) {
          if (!simdAvailable(level)) continue;
          std::vector<int32_t> lags(length, -1);
          lags.resize(static_cast<size_t>(pickRawCandidates(function, p, lags, level)));
          EXPECT_EQ(lags, expected) << "length " << length << ", spread " << spread;
        }
      }
    }
  }
}

}  // namespace

}  // namespace pitchtrack
