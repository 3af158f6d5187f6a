#include "audio/endpoint.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <random>
#include <utility>
#include <vector>

namespace {

constexpr size_t kFrame = 128;  // detector frame at 8000 Hz

// One detector frame per entry: 0 gives a constant (silent) frame, a > 0 a frame alternating
// +a, -a, whose activity measure is 1056 * a.
std::vector<int32_t> framesOf(const std::vector<int32_t>& amplitudes) {
  std::vector<int32_t> signal;
  for (const int32_t a : amplitudes) {
    for (size_t i = 0; i < kFrame; ++i) signal.push_back(a == 0 ? 5 : (i % 2 == 0 ? a : -a));
  }
  return signal;
}

struct Stretch {
  int32_t begin, end, amplitude;
};

// `frames` silent frames with loud stretches (both ends inclusive).
std::vector<int32_t> activity(size_t frames, std::initializer_list<Stretch> stretches) {
  std::vector<int32_t> amplitudes(frames, 0);
  for (const Stretch& s : stretches) {
    for (int32_t k = s.begin; k <= s.end; ++k) amplitudes[static_cast<size_t>(k)] = s.amplitude;
  }
  return framesOf(amplitudes);
}

// The valid segments as (begin, end) frame pairs.
std::vector<std::pair<int32_t, int32_t>> detect(const std::vector<int32_t>& signal) {
  EpdParam param;
  setEpdParam(8000, param);
  int32_t count = -1;
  const std::vector<Segment> segments = endpointDetect(signal, 8000, param, count);
  EXPECT_GE(count, 0);
  EXPECT_LE(static_cast<size_t>(count), segments.size());
  std::vector<std::pair<int32_t, int32_t>> valid;
  for (int32_t i = 0; i < count; ++i) {
    const Segment& s = segments[static_cast<size_t>(i)];
    EXPECT_EQ(s.valid, 1);
    EXPECT_EQ(s.durationFrames, s.endFrame - s.beginFrame + 1);
    valid.emplace_back(s.beginFrame, s.endFrame);
  }
  return valid;
}

using Spans = std::vector<std::pair<int32_t, int32_t>>;

TEST(Endpoint, ParametersFollowTheRate) {
  EpdParam p;
  setEpdParam(8000, p);
  EXPECT_EQ(p.frameSize, 128);
  EXPECT_EQ(p.overlap, 0);
  EXPECT_EQ(p.thresholdDivisor, 10);
  EXPECT_EQ(p.hodOrder, 4);
  EXPECT_EQ(p.minSegmentSec, 0.05f);
  EXPECT_EQ(p.maxFinalGapSec, 0.7f);
  setEpdParam(11025, p);
  EXPECT_EQ(p.frameSize, 176);  // 176.4 truncated
  setEpdParam(22050, p);
  EXPECT_EQ(p.frameSize, 352);  // 352.8 truncated, not rounded
  setEpdParam(16000, p);
  EXPECT_EQ(p.frameSize, 256);
}

TEST(Endpoint, FindsOneLoudStretch) {
  EXPECT_EQ(detect(framesOf({0, 0, 100, 100, 100, 100, 0, 0})), (Spans{{2, 5}}));
}

TEST(Endpoint, SegmentMustLastLongerThanFiftyMilliseconds) {
  // 0.05 s is 3.125 frames of 16 ms, rounded to 3: three frames are too short, four enough.
  EXPECT_EQ(detect(activity(20, {{2, 4, 100}, {10, 13, 100}})), (Spans{{10, 13}}));
  EXPECT_EQ(detect(activity(20, {{2, 4, 100}})), (Spans{}));
}

TEST(Endpoint, ThresholdIsATenthOfTheWayUpAndStrict) {
  // The loudest frames measure 105600, the quietest 0: the threshold is 10560, exactly the
  // measure of a frame of amplitude 10.
  EXPECT_EQ(detect(activity(20, {{2, 5, 10}, {10, 13, 100}})), (Spans{{10, 13}}));
  EXPECT_EQ(detect(activity(20, {{2, 5, 11}, {10, 13, 100}})), (Spans{{2, 5}, {10, 13}}));
}

TEST(Endpoint, ThresholdIgnoresTheMostExtremeFrames) {
  // 64 frames: k = 2, so the one very loud frame does not set the top of the range.
  EXPECT_EQ(detect(activity(64, {{10, 19, 100}, {40, 40, 1000}})), (Spans{{10, 19}}));
}

struct GapCase {
  int32_t lastBegin;
  Spans expected;
};

class FinalGapTest : public testing::TestWithParam<GapCase> {};

TEST_P(FinalGapTest, DropsALateLastSegment) {
  // 0.7 s is 43.75 frames, rounded to 44: a gap of 44 frames is allowed, 45 is not.
  const int32_t begin = GetParam().lastBegin;
  EXPECT_EQ(detect(activity(80, {{15, 20, 100}, {begin, begin + 5, 100}})), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Endpoint, FinalGapTest,
                         testing::Values(GapCase{64, {{15, 20}, {64, 69}}},
                                         GapCase{65, {{15, 20}}}));

TEST(Endpoint, OnlyTheGapBeforeTheLastSegmentCounts) {
  EXPECT_EQ(detect(activity(80, {{2, 6, 100}, {60, 64, 100}, {70, 74, 100}})),
            (Spans{{2, 6}, {60, 64}, {70, 74}}));
}

TEST(Endpoint, FinalGapIsMeasuredFromTheLastValidSegment) {
  // The short stretch at 30..32 is dropped first, so the gap runs from frame 6.
  EXPECT_EQ(detect(activity(80, {{2, 6, 100}, {30, 32, 100}, {51, 55, 100}})), (Spans{{2, 6}}));
  EXPECT_EQ(detect(activity(80, {{2, 6, 100}, {30, 32, 100}, {50, 54, 100}})),
            (Spans{{2, 6}, {50, 54}}));
}

TEST(Endpoint, NoSegmentWithoutContrastOrFrames) {
  EXPECT_EQ(detect(framesOf(std::vector<int32_t>(10, 100))), (Spans{}));
  EXPECT_EQ(detect(framesOf(std::vector<int32_t>(10, 0))), (Spans{}));
  EpdParam param;
  setEpdParam(8000, param);
  for (const size_t length : {size_t{0}, kFrame - 1}) {
    int32_t count = 5;
    EXPECT_TRUE(endpointDetect(std::vector<int32_t>(length, 100), 8000, param, count).empty());
    EXPECT_EQ(count, 0);
  }
}

// Sorts values[left..right] with sortWithIndex, index starting as 0, 1, 2, ... and checks the
// result against std::sort and that every index still names its value.
void expectSortedWithIndex(std::vector<int32_t> values, int32_t left, int32_t right) {
  const std::vector<int32_t> original = values;
  std::vector<int32_t> index(values.size());
  std::iota(index.begin(), index.end(), 0);
  sortWithIndex(values, left, right, index);

  std::vector<int32_t> expected = original;
  if (left < right) std::sort(expected.begin() + left, expected.begin() + right + 1);
  ASSERT_EQ(values, expected);
  for (size_t i = 0; i < values.size(); ++i) {
    ASSERT_EQ(original[static_cast<size_t>(index[i])], values[i]) << "position " << i;
  }
  std::sort(index.begin(), index.end());
  std::vector<int32_t> identity(values.size());
  std::iota(identity.begin(), identity.end(), 0);
  EXPECT_EQ(index, identity);  // a permutation
}

TEST(Endpoint, SortWithIndexMovesIndicesWithValues) {
  std::vector<int32_t> values{3, 1, 2};
  std::vector<int32_t> index{0, 1, 2};
  sortWithIndex(values, 0, 2, index);
  EXPECT_EQ(values, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(index, (std::vector<int32_t>{1, 2, 0}));
}

TEST(Endpoint, SortWithIndexSortsRandomArrays) {
  std::mt19937 random(20240611);
  for (const size_t size : {1u, 2u, 3u, 5u, 17u, 100u, 1000u}) {
    for (const int32_t range : {2, 10, 1000000}) {
      std::uniform_int_distribution<int32_t> value(-range, range);
      std::vector<int32_t> values(size);
      for (int32_t& v : values) v = value(random);
      SCOPED_TRACE(testing::Message() << "size " << size << " range " << range);
      expectSortedWithIndex(values, 0, static_cast<int32_t>(size) - 1);
    }
  }
}

TEST(Endpoint, SortWithIndexSortsOnlyTheGivenRange) {
  expectSortedWithIndex({9, 8, 7, 6, 5, 4, 3, 2, 1, 0}, 3, 7);
  expectSortedWithIndex({2, 1}, 1, 1);
  expectSortedWithIndex({2, 1}, 1, 0);
}

// Sorts `values` on a thread whose stack holds only 64 KiB, then exits with status 0 when the
// result is ascending and every index still names its value. A recursion that grows with the
// array (as a plain quicksort does on equal or descending values) overflows that stack.
void sortOnSmallStackAndExit(std::vector<int32_t> values) {
  struct Work {
    std::vector<int32_t> values;
    std::vector<int32_t> index;
  } work{values, std::vector<int32_t>(values.size())};
  std::iota(work.index.begin(), work.index.end(), 0);
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 64 * 1024);
  pthread_t thread;
  const auto sort = [](void* arg) -> void* {
    auto& w = *static_cast<Work*>(arg);
    sortWithIndex(w.values, 0, static_cast<int32_t>(w.values.size()) - 1, w.index);
    return nullptr;
  };
  if (pthread_create(&thread, &attributes, sort, &work) != 0) std::exit(3);
  pthread_join(thread, nullptr);
  bool ok = std::is_sorted(work.values.begin(), work.values.end());
  for (size_t i = 0; i < values.size(); ++i) {
    ok = ok && values[static_cast<size_t>(work.index[i])] == work.values[i];
  }
  std::exit(ok ? 0 : 2);
}

TEST(EndpointDeathTest, SortWithIndexRecursionStaysShallow) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(sortOnSmallStackAndExit(std::vector<int32_t>(100000, 42)), testing::ExitedWithCode(0),
              "")
      << "equal values";
  std::vector<int32_t> descending(10000);
  std::iota(descending.rbegin(), descending.rend(), -7);
  EXPECT_EXIT(sortOnSmallStackAndExit(descending), testing::ExitedWithCode(0), "")
      << "descending values";
}

}  // namespace
