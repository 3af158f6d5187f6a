#include "audio/endpoint.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <random>
#include <utility>
#include <vector>

#include "support/signals.h"

namespace pitchtrack {

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
  const std::vector<Segment> segments =
      endpointDetect(testsignal::toInt16(signal), 8000, param, count);
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

TEST(Endpoint, FrameSizeFollowsTheRateTruncated) {
  EpdParam p;
  for (const auto& [rate, frameSize] : {std::pair{8000, 128}, {11025, 176}, {22050, 352}}) {
    setEpdParam(rate, p);
    EXPECT_EQ(p.frameSize, frameSize) << rate;  // 176.4 and 352.8 truncated, not rounded
  }
  EXPECT_EQ(p.overlap, 0);
}

TEST(Endpoint, FindsTheValidSegments) {
  struct Case {
    const char* what;
    std::vector<int32_t> signal;
    Spans expected;
  };
  const std::vector<Case> cases = {
      {"one loud stretch", framesOf({0, 0, 100, 100, 100, 100, 0, 0}), {{2, 5}}},
      // 0.05 s is 3.125 frames of 16 ms, rounded to 3: three frames are too short, four enough.
      {"three frames dropped, four kept", activity(20, {{2, 4, 100}, {10, 13, 100}}), {{10, 13}}},
      // The loudest frames measure 105600, the quietest 0: the threshold is 10560, exactly the
      // measure of a frame of amplitude 10, and it is strict.
      {"at the threshold", activity(20, {{2, 5, 10}, {10, 13, 100}}), {{10, 13}}},
      {"above the threshold", activity(20, {{2, 5, 11}, {10, 13, 100}}), {{2, 5}, {10, 13}}},
      // 64 frames: k = 2, so the one very loud frame does not set the top of the range.
      {"extreme frame ignored", activity(64, {{10, 19, 100}, {40, 40, 1000}}), {{10, 19}}},
      // 0.7 s is 43.75 frames, rounded to 44: a final gap of 44 frames is allowed, 45 is not.
      {"final gap 44", activity(80, {{15, 20, 100}, {64, 69, 100}}), {{15, 20}, {64, 69}}},
      {"final gap 45", activity(80, {{15, 20, 100}, {65, 70, 100}}), {{15, 20}}},
      {"only the last gap counts",
       activity(80, {{2, 6, 100}, {60, 64, 100}, {70, 74, 100}}),
       {{2, 6}, {60, 64}, {70, 74}}},
      // The short stretch at 30..32 is dropped first, so the gap runs from frame 6.
      {"gap from the last valid segment, 45",
       activity(80, {{2, 6, 100}, {30, 32, 100}, {51, 55, 100}}),
       {{2, 6}}},
      {"gap from the last valid segment, 44",
       activity(80, {{2, 6, 100}, {30, 32, 100}, {50, 54, 100}}),
       {{2, 6}, {50, 54}}},
      {"all loud", framesOf(std::vector<int32_t>(10, 100)), {}},
      {"all quiet", framesOf(std::vector<int32_t>(10, 0)), {}},
  };
  for (const Case& c : cases) EXPECT_EQ(detect(c.signal), c.expected) << c.what;

  EpdParam param;
  setEpdParam(8000, param);
  for (const size_t length : {size_t{0}, kFrame - 1}) {
    int32_t count = 5;
    EXPECT_TRUE(endpointDetect(std::vector<int16_t>(length, 100), 8000, param, count).empty());
    EXPECT_EQ(count, 0);
  }
}

}  // namespace

}  // namespace pitchtrack
