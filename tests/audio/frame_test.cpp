#include "audio/frame.h"

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <ostream>
#include <string>

namespace pitchtrack {

namespace {

struct RoundCase {
  float x;
  int32_t expected;
};

// Shortest round trip, e.g. "0.49999997->0" or "3e09->-1294967296" (no '+' for ctest -R).
void PrintTo(const RoundCase& c, std::ostream* os) {
  char digits[32];
  std::string x(digits, std::to_chars(digits, digits + sizeof digits, c.x).ptr);
  std::erase(x, '+');
  *os << x << "->" << c.expected;
}

class RoundToIntTest : public testing::TestWithParam<RoundCase> {};

TEST_P(RoundToIntTest, RoundsHalfAwayFromZeroAndWraps) {
  EXPECT_EQ(roundToInt(GetParam().x), GetParam().expected) << "x=" << GetParam().x;
}

constexpr float kInf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Frame, RoundToIntTest,
    testing::Values(RoundCase{0.5f, 1}, RoundCase{-0.5f, -1}, RoundCase{1.5f, 2},
                    RoundCase{2.5f, 3}, RoundCase{-2.5f, -3}, RoundCase{0.0f, 0},
                    RoundCase{-0.25f, 0},
                    // The sum x + 0.5 is formed in double: in single precision it would round
                    // up to 1.
                    RoundCase{0.49999997f, 0}, RoundCase{-0.49999997f, 0},
                    RoundCase{std::numeric_limits<float>::quiet_NaN(), 0}, RoundCase{kInf, 0},
                    RoundCase{-kInf, 0},
                    // Between 2^31 and 2^63 only the low 32 bits survive.
                    RoundCase{3e9f, -1294967296}, RoundCase{-3e9f, 1294967296},
                    RoundCase{4294968320.0f, 1024},
                    // From 2^63 on the conversion saturates to a value whose low bits are 0.
                    RoundCase{1e19f, 0}, RoundCase{-1e19f, 0}));

TEST(Frame, TruncToIntTruncatesTowardZeroAndClamps) {
  EXPECT_EQ(truncToInt(2.9), 2);
  EXPECT_EQ(truncToInt(-2.9), -2);
  EXPECT_EQ(truncToInt(3e9), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(truncToInt(-3e9), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(truncToInt(std::nan("")), 0);
}

struct CountCase {
  int32_t length, frameSize, overlap, frames;
};

void PrintTo(const CountCase& c, std::ostream* os) {
  *os << "length" << c.length << "_frame" << c.frameSize << "_overlap" << c.overlap << "->"
      << c.frames;
}

class FrameCountTest : public testing::TestWithParam<CountCase> {};

TEST_P(FrameCountTest, CountsCompleteFramesOnly) {
  const CountCase& c = GetParam();
  EXPECT_EQ(frameCount(c.length, c.frameSize, c.overlap), c.frames);
}

INSTANTIATE_TEST_SUITE_P(Frame, FrameCountTest,
                         testing::Values(CountCase{255, 256, 0, 0}, CountCase{256, 256, 0, 1},
                                         CountCase{511, 256, 0, 1}, CountCase{512, 256, 0, 2},
                                         CountCase{799, 640, 480, 1}, CountCase{800, 640, 480, 2},
                                         // Truncation toward zero, not floor.
                                         CountCase{100, 640, 480, -2}));

struct CentreCase {
  int32_t frameOrSample, frameSize, overlap, expected;
};

void PrintTo(const CentreCase& c, std::ostream* os) {
  *os << "sample" << c.frameOrSample << "_frame" << c.frameSize << "_overlap" << c.overlap << "->"
      << c.expected;
}

TEST(Frame, Frame2SampleGivesTheCentreSample) {
  EXPECT_EQ(frame2sample(0, 256, 0), 127);
  EXPECT_EQ(frame2sample(1, 256, 0), 383);
  EXPECT_EQ(frame2sample(0, 128, 0), 63);
  EXPECT_EQ(frame2sample(1, 640, 480), 479);
}

class Sample2FrameTest : public testing::TestWithParam<CentreCase> {};

TEST_P(Sample2FrameTest, FindsTheFrameWithTheNearestCentre) {
  const CentreCase& c = GetParam();
  EXPECT_EQ(sample2frame(c.frameOrSample, c.frameSize, c.overlap), c.expected)
      << "sample " << c.frameOrSample;
}

INSTANTIATE_TEST_SUITE_P(Frame, Sample2FrameTest,
                         testing::Values(CentreCase{191, 256, 0, 0}, CentreCase{319, 256, 0, 1},
                                         CentreCase{63, 256, 0, 0},
                                         // Half-way between two centres goes to the later frame.
                                         CentreCase{255, 256, 0, 1}, CentreCase{254, 256, 0, 0},
                                         CentreCase{559, 640, 480, 2},
                                         // Samples before the first centre clamp to frame 0.
                                         CentreCase{0, 640, 480, 0}, CentreCase{0, 256, 0, 0},
                                         // No upper bound.
                                         CentreCase{100000, 256, 0, 390}));

TEST(Frame, SemitonesCountFromA440AsSixtyNine) {
  EXPECT_NEAR(freq2semitone(440), 69, 1e-12);
  EXPECT_NEAR(freq2semitone(220), 57, 1e-12);
  EXPECT_NEAR(freq2semitone(880), 81, 1e-12);
  EXPECT_NEAR(semitone2freq(69), 440, 1e-9);
  EXPECT_NEAR(semitone2freq(57), 220, 1e-9);
  // No frequency, no pitch, and the other way round.
  for (const float none : {0.0f, -1.0f, std::nanf("")}) {
    EXPECT_EQ(freq2semitone(none), 0);
    EXPECT_EQ(semitone2freq(none), 0);
  }
}

TEST(Frame, DotProductWrapsLikeThirtyTwoBitArithmetic) {
  const std::array<int32_t, 4> a{1, -2, 3, 4};
  const std::array<int32_t, 4> b{5, 6, -7, 8};
  EXPECT_EQ(dotProduct(a.data(), b.data(), 3), 5 - 12 - 21);
  EXPECT_EQ(dotProduct(a.data(), b.data(), 0), 0);
  EXPECT_EQ(dotProduct(a.data(), b.data(), -1), 0);
  EXPECT_EQ(dotProduct(a.data(), a.data() + 1, 3), -2 - 6 + 12);  // overlapping operands
  // 2^32 wraps to 0, and (2^31 - 1)^2 to 1, without undefined behaviour.
  const std::array<int32_t, 2> big{65536, std::numeric_limits<int32_t>::max()};
  EXPECT_EQ(dotProduct(big.data(), big.data(), 1), 0);
  EXPECT_EQ(dotProduct(big.data(), big.data(), 2), 1);
}

}  // namespace

}  // namespace pitchtrack
