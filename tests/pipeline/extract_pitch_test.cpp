#include "pipeline/extract_pitch.h"

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/signals.h"

namespace pitchtrack {

namespace {

TEST(Pipeline, VoicedMedianIgnoresUnvoicedFrames) {
  const std::vector<std::pair<std::vector<double>, double>> cases{
      {{60.2, 58.0, 61.5}, 60.2},
      {{58, 62, 60, 70}, 61},  // mean of the middle pair
      {{60, 60, 60, 60}, 60},
      {{0, 61, 0}, 61},
      {{0, 70, 0, 50}, 60},
      {{0, 0, 0}, 0},
      {{}, 0}};
  for (const auto& [values, median] : cases) {
    std::vector<double> pitch = values;
    EXPECT_DOUBLE_EQ(pipeline::voicedMedian(pitch), median) << testing::PrintToString(values);
  }
}

TEST(Pipeline, ClearOutOfRangeKeepsTheBounds) {
  std::vector<double> pitch{34.0, 90.0, 33.999, 90.001, 0.0, 60.0, -5.0};
  pipeline::clearOutOfRange(pitch, 34, 90);
  EXPECT_EQ(pitch, (std::vector<double>{34.0, 90.0, 0.0, 0.0, 0.0, 60.0, 0.0}));
}

TEST(Pipeline, FindNonzeroBounds) {
  struct Case {
    std::vector<double> values;
    int32_t first, last;
  };
  const std::vector<Case> cases{{{0, 0, 55.7, 0, 60.2, 0}, 2, 4},
                                {std::vector<double>(6, 0.0), 6, 5},
                                {{0, 0, 0, 0, 0, 61, 0, 0, 0, 0}, 5, 5},
                                {{57, 58}, 0, 1},
                                {{}, 0, -1}};
  for (const Case& c : cases) {
    int32_t first = -9;
    int32_t last = -9;
    pipeline::findNonzeroBounds(c.values, first, last);
    EXPECT_EQ(first, c.first) << testing::PrintToString(c.values);
    EXPECT_EQ(last, c.last) << testing::PrintToString(c.values);
  }
}

// extractContour's values with its progress lines collected, each ended by a newline as the
// tool prints it; a refused rate or sample size leaves the contour empty.
std::string extract(const std::vector<int16_t>& samples, std::vector<int32_t>& contour, int32_t fs,
                    int32_t nbits) {
  std::string lines;
  Options options;
  options.progress = [&lines](const std::string& line) { lines += line + "\n"; };
  contour.clear();
  testing::internal::CaptureStdout();
  try {
    contour = extractContour(samples, fs, nbits, options).values;
  } catch (const std::invalid_argument&) {
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "the library printed";
  return lines;
}

TEST(Pipeline, WorkingFormatNeedsNoPreparation) {
  const std::vector<int16_t> tone =
      testsignal::toInt16(testsignal::harmonicTone(8000, 220, 100, 4000));
  std::vector<int32_t> contour;
  EXPECT_EQ(extract(tone, contour, 8000, 8), "");
}

TEST(Pipeline, ReportsResamplingBeforeBitDepthConversion) {
  const std::vector<int16_t> tone =
      testsignal::toInt16(testsignal::harmonicTone(44100, 220, 8000, 22050));
  std::vector<int32_t> contour;
  EXPECT_EQ(extract(tone, contour, 44100, 16),
            "fs=44100 ===> Resample to have fs=8000\n"
            "nbits=16 ===> Convert from nbits=16 to 8!\n");
}

TEST(Pipeline, AcceptedRatesAreInclusive) {
  const std::vector<int16_t> samples(3000, 0);
  for (const auto& [fs, output] :
       {std::pair{999, ""}, std::pair{768001, ""},
        std::pair{1000, "fs=1000 ===> Resample to have fs=8000\n"},
        std::pair{768000, "fs=768000 ===> Resample to have fs=8000\n"}}) {
    std::vector<int32_t> contour{1, 2, 3};
    EXPECT_EQ(extract(samples, contour, fs, 8), output) << "fs " << fs;
    EXPECT_TRUE(contour.empty()) << "fs " << fs;
  }
}

TEST(Pipeline, TooShortInputGivesAnEmptyContour) {
  // Two tracker frames need 512 samples at 8000 Hz.
  for (const size_t length : {0u, 1u, 511u}) {
    const std::vector<int16_t> tone =
        testsignal::toInt16(testsignal::harmonicTone(8000, 220, 100, length));
    std::vector<int32_t> contour{7};
    extract(tone, contour, 8000, 8);
    EXPECT_TRUE(contour.empty()) << length << " samples";
  }
}

TEST(Pipeline, TwoTrackerFramesAreEnough) {
  // 767 samples: one silent detector frame, then four of tone, which make a valid segment.
  const std::vector<int32_t> quiet = testsignal::silence(128);
  const std::vector<int32_t> tone = testsignal::harmonicTone(8000, 200, 12000, 639);
  std::vector<int32_t> contour;
  extract(testsignal::toInt16(testsignal::concat({quiet, tone})), contour, 8000, 16);
  EXPECT_FALSE(contour.empty());
}

struct ToneCase {
  double frequency;
  int32_t value;  // the contour value of every frame
};

void PrintTo(const ToneCase& c, std::ostream* os) { *os << c.frequency << "Hz->" << c.value; }

class SteadyToneTest : public testing::TestWithParam<ToneCase> {};

TEST_P(SteadyToneTest, GivesAnUninterruptedContourBetweenSilences) {
  const std::vector<int32_t> quiet = testsignal::silence(4000);
  const std::vector<int32_t> tone =
      testsignal::harmonicTone(8000, GetParam().frequency, 12000, 8000);
  const std::vector<int16_t> samples =
      testsignal::toInt16(testsignal::concat({quiet, tone, quiet}));
  std::vector<int32_t> contour;
  extract(samples, contour, 8000, 16);
  // The tone lasts 31.25 tracker frames; no unpitched frame is left at either end.
  EXPECT_GE(contour.size(), 30u);
  EXPECT_LE(contour.size(), 33u);
  EXPECT_EQ(contour, std::vector<int32_t>(contour.size(), GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(Pipeline, SteadyToneTest,
                         testing::Values(
                             // 220 Hz is tracked at lag 36: 57.17 semitones.
                             ToneCase{220.0, 570},
                             // A period of 37 samples is 56.70 semitones, truncated (not
                             // rounded) to 56.
                             ToneCase{8000.0 / 37, 560}));

}  // namespace

}  // namespace pitchtrack
