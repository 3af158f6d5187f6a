#include "audio/volume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <vector>

#include "audio/frame.h"
#include "support/expect_fault.h"
#include "support/signals.h"

namespace pitchtrack {

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

// The values joined by '_', for short test names.
void printValues(const std::vector<int32_t>& values, std::ostream* os) {
  if (values.empty()) *os << "empty";
  for (size_t i = 0; i < values.size(); ++i) *os << (i == 0 ? "" : "_") << values[i];
}

struct MedianCase {
  std::vector<int32_t> values;
  int32_t median;
};

void PrintTo(const MedianCase& c, std::ostream* os) {
  printValues(c.values, os);
  *os << "->" << c.median;
}

class FrameMedianTest : public testing::TestWithParam<MedianCase> {};

TEST_P(FrameMedianTest, AveragesTheMiddlePairTowardZero) {
  std::vector<int32_t> scratch = GetParam().values;
  EXPECT_EQ(frameMedian(scratch), GetParam().median);
}

INSTANTIATE_TEST_SUITE_P(Volume, FrameMedianTest,
                         testing::Values(MedianCase{{5, 1, 9}, 5}, MedianCase{{4, 1, 3, 2}, 2},
                                         MedianCase{{2, 7, 2, 2}, 2}, MedianCase{{0, -3}, -1},
                                         MedianCase{{-2, -1}, -1}, MedianCase{{8}, 8},
                                         // The pair is summed in 64 bits.
                                         MedianCase{{kMax, kMax - 1}, kMax - 1},
                                         MedianCase{{kMin, kMin + 1}, kMin + 1}));

struct VolumeCase {
  std::vector<int32_t> signal;
  int32_t frameSize, overlap, method;
  std::vector<int32_t> expected;
};

void PrintTo(const VolumeCase& c, std::ostream* os) {
  printValues(c.signal, os);
  *os << "_frame" << c.frameSize << "_overlap" << c.overlap << "_method" << c.method << "->";
  printValues(c.expected, os);
}

class FrameVolumeTest : public testing::TestWithParam<VolumeCase> {};

TEST_P(FrameVolumeTest, MeasuresEveryFrame) {
  const VolumeCase& c = GetParam();
  const std::vector<int32_t> signal = c.signal;
  std::vector<int32_t> volume(c.expected.size() + 1, -1);
  frameVolume(testsignal::toInt16(signal), c.frameSize, c.overlap, volume, c.method);
  std::vector<int32_t> expected = c.expected;
  expected.push_back(-1);
  EXPECT_EQ(volume, expected);
  EXPECT_EQ(signal, c.signal);  // the median's scratch work happens elsewhere
}

INSTANTIATE_TEST_SUITE_P(
    Volume, FrameVolumeTest,
    testing::Values(VolumeCase{{5, 1, 9}, 3, 0, 1, {8}}, VolumeCase{{1, 2, 3, 4}, 4, 0, 1, {4}},
                    VolumeCase{{-3, 0}, 2, 0, 1, {3}}, VolumeCase{{2, 2, 2, 7}, 4, 0, 1, {5}},
                    // Overlapping frames of 3 with a hop of 2: {1,5,2} and {2,8,3}.
                    VolumeCase{{1, 5, 2, 8, 3, 4}, 3, 1, 1, {4, 6}},
                    VolumeCase{{9, 1, 9, 1, 9, 1, 9}, 2, 0, 1, {8, 8, 8}},
                    // The mean is truncated toward zero: 0 here (floor would give -1).
                    VolumeCase{{0, 0, -1}, 3, 0, 2, {1}},
                    // ... and 0 here (rounding would give 1).
                    VolumeCase{{0, 1, 1}, 3, 0, 2, {2}}, VolumeCase{{-1, -2}, 2, 0, 2, {1}},
                    VolumeCase{{1, 5, 2, 8, 3}, 3, 1, 2, {10, 21}}));

TEST(Volume, ShortSignalWritesNothing) {
  std::vector<int32_t> volume{-1};
  frameVolume(std::vector<int16_t>{1, 2}, 3, 0, volume, 1);
  frameVolume(std::vector<int16_t>{}, 3, 0, volume, 2);
  EXPECT_EQ(volume[0], -1);
}

struct DiffCase {
  std::vector<int32_t> frame;
  int32_t order;
  int32_t expected;
};

void PrintTo(const DiffCase& c, std::ostream* os) {
  printValues(c.frame, os);
  *os << "_order" << c.order << "->" << c.expected;
}

class HighOrderDiffTest : public testing::TestWithParam<DiffCase> {};

TEST_P(HighOrderDiffTest, SumsAbsoluteDifferencesOfTheOrder) {
  const DiffCase& c = GetParam();
  std::vector<int32_t> diff{-1, -1};
  highOrderDiff(testsignal::toInt16(c.frame), static_cast<int32_t>(c.frame.size()), 0, diff,
                c.order);
  EXPECT_EQ(diff, (std::vector<int32_t>{c.expected, -1}));
}

const std::vector<int32_t> kPowers{1, 2, 4, 8, 16, 32};
const std::vector<int32_t> kImpulse{0, 0, 1, 0, 0, 0};

INSTANTIATE_TEST_SUITE_P(
    Volume, HighOrderDiffTest,
    testing::Values(DiffCase{{0, 3, 1}, 1, 5}, DiffCase{{0, 3, 1}, 2, 5},
                    // Every difference of the powers of two is again a power of two.
                    DiffCase{kPowers, 1, 31}, DiffCase{kPowers, 2, 15}, DiffCase{kPowers, 3, 7},
                    DiffCase{kPowers, 4, 3}, DiffCase{kPowers, 5, 1},
                    // An impulse shows the coefficients themselves.
                    DiffCase{kImpulse, 3, 3 + 3 + 1}, DiffCase{kImpulse, 4, 6 + 4},
                    DiffCase{kImpulse, 5, 10},
                    // No complete difference fits in the frame.
                    DiffCase{{4, 9}, 2, 0}, DiffCase{{4}, 1, 0}));

TEST(Volume, HighOrderDiffWalksOverlappingFrames) {
  const std::vector<int32_t> signal{0, 3, 1, 4, 4};
  std::vector<int32_t> diff(2);
  highOrderDiff(testsignal::toInt16(signal), 3, 1, diff, 1);  // {0,3,1} and {1,4,4}
  EXPECT_EQ(diff, (std::vector<int32_t>{5, 3}));
}

TEST(Volume, UnsupportedOrderIsHarmlessWithoutFrames) {
  std::vector<int32_t> diff{-1};
  highOrderDiff(std::vector<int16_t>{1, 2}, 3, 0, diff, 6);
  EXPECT_EQ(diff[0], -1);
}

TEST(Volume, UnknownMethodIsAFaultEvenWithoutFrames) {
  std::vector<int32_t> volume(1);
  testsupport::expectFault([&] { frameVolume(std::vector<int16_t>{1}, 4, 0, volume, 3); },
                           "Unknown volume method=3 (line 1644 of file lib/audio)");
}

TEST(Volume, UnsupportedOrderIsAFault) {
  std::vector<int32_t> diff(1);
  for (const int32_t order : {0, 6}) {
    testsupport::expectFault(
        [&] {
          highOrderDiff(std::vector<int16_t>{1, 2, 3, 4, 5, 6, 7}, 7, 0, diff, order);
        },
        "Unsupported order!");
  }
}

}  // namespace

namespace {

// Random frames of every width from one value to the full 16-bit range, of lengths around the
// vector widths (odd and even, shorter than one vector, with a tail), and overlapping frames.
std::vector<int16_t> randomSignal(size_t length, int32_t spread, uint32_t seed) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int32_t> value(-spread, spread);
  const int32_t centre = std::uniform_int_distribution<int32_t>(-1000, 1000)(generator);
  std::vector<int16_t> signal(length);
  for (int16_t& v : signal) {
    v = static_cast<int16_t>(std::clamp(centre + value(generator), -32768, 32767));
  }
  return signal;
}

}  // namespace

TEST(Volume, EveryVectorLevelGivesThePortableValues) {
  const SimdLevel levels[] = {SimdLevel::kAvx2, SimdLevel::kAvx512};
  uint32_t seed = 1;
  for (const int32_t spread : {0, 1, 3, 100, 511, 600, 40000}) {
    for (const int32_t size : {1, 2, 15, 16, 17, 31, 32, 33, 127, 128, 129, 300}) {
      for (const int32_t overlap : {0, size / 3}) {
        const std::vector<int16_t> signal =
            randomSignal(static_cast<size_t>(size) * 9, spread, ++seed);
        // Every frame the signal holds: 9 with no overlap, more with one.
        const auto frames =
            static_cast<size_t>(frameCount(static_cast<int32_t>(signal.size()), size, overlap));
        std::vector<int32_t> volume(frames, -1);
        std::vector<int32_t> diff(frames, -1);
        frameVolume(signal, size, overlap, volume, 1, SimdLevel::kPortable);
        highOrderDiff(signal, size, overlap, diff, 4, SimdLevel::kPortable);
        for (const SimdLevel level : levels) {
          if (!simdAvailable(level)) continue;
          std::vector<int32_t> vectorVolume(frames, -1);
          std::vector<int32_t> vectorDiff(frames, -1);
          frameVolume(signal, size, overlap, vectorVolume, 1, level);
          highOrderDiff(signal, size, overlap, vectorDiff, 4, level);
          EXPECT_EQ(vectorVolume, volume) << "spread " << spread << ", size " << size;
          EXPECT_EQ(vectorDiff, diff) << "spread " << spread << ", size " << size;
        }
      }
    }
  }
}

// Signals held in 8 bits, signed and unsigned, measure as the same samples in 16 bits on every
// level.
TEST(Volume, EightBitSignalsMeasureAsSixteenBitOnes) {
  std::mt19937 generator(11);
  for (const int32_t size : {1, 16, 63, 64, 65, 128, 129, 200}) {
    for (const int32_t spread : {0, 1, 5, 60, 127}) {
      std::uniform_int_distribution<int32_t> value(-spread, spread);
      std::vector<int16_t> wide(static_cast<size_t>(size) * 7);
      std::vector<int8_t> narrow(wide.size());
      std::vector<uint8_t> bytes(wide.size());
      for (size_t i = 0; i < wide.size(); ++i) {
        narrow[i] = static_cast<int8_t>(value(generator));
        bytes[i] = static_cast<uint8_t>(std::clamp(128 + 2 * value(generator), 0, 255));
      }
      for (const SimdLevel level : {SimdLevel::kPortable, SimdLevel::kAvx2, SimdLevel::kAvx512}) {
        if (!simdAvailable(level)) continue;
        // The 8-bit signal against the same samples widened to 16 bits.
        const auto compare = [&](const auto& samples, const char* kind) {
          std::vector<int32_t> expected(7);
          std::vector<int32_t> actual(7);
          wide.assign(samples.begin(), samples.end());
          frameVolume(wide, size, 0, expected, 1, level);
          frameVolume(samples, size, 0, actual, 1, level);
          EXPECT_EQ(actual, expected) << kind << ", size " << size << ", spread " << spread;
          highOrderDiff(wide, size, 0, expected, 4, level);
          highOrderDiff(samples, size, 0, actual, 4, level);
          EXPECT_EQ(actual, expected) << kind << ", size " << size << ", spread " << spread;
        };
        compare(narrow, "signed");
        compare(bytes, "unsigned");
      }
    }
  }
}

}  // namespace pitchtrack
