#include "pipeline/extract_pitch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "pipeline/resample.h"
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

// Phrases of a voice whose pitch glides, with pauses and hiss: samples around `offset` of at most
// `amplitude`.
std::vector<int16_t> phrases(int32_t rate, double seconds, double amplitude, double offset,
                             uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> hiss(-0.05, 0.05);
  std::vector<int16_t> out(static_cast<size_t>(seconds * rate));
  double phase = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const bool sounding = std::fmod(t, 1.3) < 0.9;
    phase += 2 * std::numbers::pi * (150 + 60 * std::sin(t)) / rate;
    const double voice = sounding ? 0.6 * std::sin(phase) + 0.3 * std::sin(2 * phase) : 0.0;
    out[i] = static_cast<int16_t>(std::lround(offset + amplitude * (voice + hiss(random))));
  }
  return out;
}

// The working signal in 16 bits as the 16-bit path prepares it: resampled, then reduced.
std::vector<int16_t> wideWorkingSignal(const std::vector<int16_t>& samples, int32_t rate,
                                       int32_t nbits) {
  std::vector<int16_t> signal = samples;
  if (rate != 8000) {
    StreamingResampler resampler(rate, 8000);
    resampler.push(samples);
    const SampleBuffer resampled = resampler.finish();
    signal.assign(resampled.samples().begin(), resampled.samples().end());
  }
  if (nbits == 16) {
    for (int16_t& v : signal) v = static_cast<int16_t>(v / 256);
  }
  return signal;
}

// The builder keeps the working signal in 8 bits (or, for resampled 8-bit recordings, in 16);
// every way gives the contour of the 16-bit working signal.
TEST(Pipeline, WorkingSignalInEightBitsGivesTheSixteenBitContour) {
  struct Case {
    int32_t rate, nbits;
    double amplitude, offset;
  };
  const Case cases[] = {{8000, 8, 120, 128},  {8000, 16, 30000, 0}, {44100, 16, 30000, 0},
                        {22050, 8, 120, 128}, {8000, 8, 127, 128},  {11025, 16, 200, -100},
                        {48000, 16, 32000, 0}};
  int32_t nonEmpty = 0;  // the comparisons that had pitches to compare
  for (const Case& c : cases) {
    for (const Voicing voicing : {Voicing::kRelative, Voicing::kStrict}) {
      const std::vector<int16_t> samples = phrases(c.rate, 6, c.amplitude, c.offset, 3);
      Options options;
      options.voicing = voicing;
      for (const size_t block : {size_t{4096}, samples.size()}) {
        pipeline::WorkingSignalBuilder builder(c.rate, c.nbits, 0, options);
        for (size_t at = 0; at < samples.size(); at += block) {
          builder.push(std::span(samples).subspan(at, std::min(block, samples.size() - at)));
        }
        const std::vector<int16_t> wide = wideWorkingSignal(samples, c.rate, c.nbits);
        const pipeline::InputLevel level(c.rate, c.nbits);
        const Contour expected =
            pipeline::contourOfWorkingSignal(std::span<const int16_t>(wide), options, level);
        const Contour actual = builder.finishContour();
        EXPECT_EQ(actual.values, expected.values) << c.rate << " Hz, " << c.nbits << " bits";
        EXPECT_EQ(actual.firstFrame, expected.firstFrame);
        EXPECT_EQ(actual.recordingSeconds, expected.recordingSeconds);
        nonEmpty += expected.values.empty() ? 0 : 1;
      }
      pipeline::WorkingSignalBuilder builder(c.rate, c.nbits, 0, options);
      builder.push(samples);
      const SampleBuffer signal = builder.finish();
      const std::vector<int16_t> wide = wideWorkingSignal(samples, c.rate, c.nbits);
      EXPECT_TRUE(
          std::equal(wide.begin(), wide.end(), signal.samples().begin(), signal.samples().end()));
    }
  }
  EXPECT_GE(nonEmpty, 20);
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
