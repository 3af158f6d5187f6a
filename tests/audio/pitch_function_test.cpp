#include "audio/pitch_function.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "support/expect_fault.h"
#include "support/reference_tracker.h"

namespace pitchtrack {

namespace {

using testsupport::pitchFunction;

// The values joined by '_', for short test names.
void printValues(const std::vector<int32_t>& values, std::ostream* os) {
  if (values.empty()) *os << "empty";
  for (size_t i = 0; i < values.size(); ++i) *os << (i == 0 ? "" : "_") << values[i];
}

struct FlipCase {
  std::vector<int32_t> frame;
  std::vector<int32_t> expected;
};

void PrintTo(const FlipCase& c, std::ostream* os) {
  printValues(c.frame, os);
  *os << "->";
  printValues(c.expected, os);
}

class FrameFlipTest : public testing::TestWithParam<FlipCase> {};

TEST_P(FrameFlipTest, ReversesWhenTheSecondHalfIsLivelier) {
  std::vector<int32_t> frame = GetParam().frame;
  frameFlip(frame);
  EXPECT_EQ(frame, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    PitchFunction, FrameFlipTest,
    testing::Values(FlipCase{{0, 0, 0, 0, 8, -8, 8, -8}, {-8, 8, -8, 8, 0, 0, 0, 0}},
                    // The mean 2.5 rounds to 3 (truncation or floor would give 2: no flip).
                    FlipCase{{5, 0}, {0, 5}}, FlipCase{{0, 5}, {0, 5}},
                    // The mean -2.5 rounds away from zero to -3.
                    FlipCase{{-5, 0}, {0, -5}},
                    // Equal deviations keep the order.
                    FlipCase{{1, 3, 1, 3}, {1, 3, 1, 3}},
                    // The middle sample of an odd frame counts for the second half.
                    FlipCase{{1, 2, 0, 3, 9}, {9, 3, 0, 2, 1}},
                    FlipCase{{2, 2, 6, 0, 2}, {2, 0, 6, 2, 2}}, FlipCase{{7}, {7}},
                    FlipCase{{}, {}}));

struct FunctionCase {
  std::vector<int32_t> signal;
  int32_t frameSize, overlap, pfType;
  std::vector<int32_t> expected;
};

void PrintTo(const FunctionCase& c, std::ostream* os) {
  printValues(c.signal, os);
  *os << "_frame" << c.frameSize << "_overlap" << c.overlap << "_pf" << c.pfType << "->";
  printValues(c.expected, os);
}

class PitchFunctionTest : public testing::TestWithParam<FunctionCase> {};

TEST_P(PitchFunctionTest, ComputesEachFrameByLag) {
  const FunctionCase& c = GetParam();
  std::vector<int32_t> out(c.expected.size() + 1, -1);
  pitchFunction(c.signal, c.frameSize, c.overlap, c.pfType, out);
  std::vector<int32_t> expected = c.expected;
  expected.push_back(-1);  // nothing written past the last row
  EXPECT_EQ(out, expected);
}

INSTANTIATE_TEST_SUITE_P(
    PitchFunction, PitchFunctionTest,
    testing::Values(FunctionCase{{1, 2, 3, 4}, 4, 0, 1, {0, 2}},
                    FunctionCase{{1, 2, 3, 4}, 4, 0, 2, {6, 2}},
                    // The frame is flipped first: unflipped, lag 1 would compare zeros only.
                    FunctionCase{{0, 0, 0, 9}, 4, 0, 1, {0, 9}},
                    // The mean -0.75 is truncated to 0 (floor would give {3, 1}).
                    FunctionCase{{0, 0, -1, -2}, 4, 0, 2, {5, 2}},
                    // Overlapping frames, one row each; the second frame is flipped and
                    // loses its truncated mean 1.
                    FunctionCase{{1, 2, 3, 4, 0, 0}, 4, 2, 2, {6, 2, 15, 4}},
                    // A trailing partial frame is ignored.
                    FunctionCase{{1, 2, 3, 4, 5, 6, 7}, 4, 0, 2, {6, 2}}));

TEST(PitchFunction, SignalShorterThanAFrameWritesNothing) {
  const std::vector<int32_t> signal{1, 2, 3};
  std::vector<int32_t> out(2, -1);
  pitchFunction(signal, 4, 0, 5, out);  // an unknown pfType is harmless without frames
  EXPECT_EQ(out, (std::vector<int32_t>{-1, -1}));
}

TEST(PitchFunction, SumsWrapInsteadOfOverflowing) {
  // Lag 0 of the autocorrelation: each square is 2^32, which wraps to 0 without tripping the
  // sanitizer.
  const std::vector<int32_t> signal{65536, -65536};
  std::vector<int32_t> out(1);
  pitchFunction(signal, 2, 0, 2, out);
  EXPECT_EQ(out[0], 0);
}

TEST(PitchFunction, UnknownTypeIsAFault) {
  const std::vector<int32_t> signal{1, 2, 3, 4};
  std::vector<int32_t> out(2);
  testsupport::expectFault([&] { pitchFunction(signal, 4, 0, 5, out); },
                           "Unknown pfType=5 (line 1200 of file lib/audio)");
}

}  // namespace

}  // namespace pitchtrack
