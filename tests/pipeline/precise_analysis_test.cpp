#include "pipeline/precise_analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "pipeline/precise_trim.h"
#include "support/signals.h"

namespace pitchtrack {
namespace {

// A tone of eight 1/k harmonics, peak about `peak` of full scale.
std::vector<int16_t> tone(int32_t rate, double hz, double seconds, double peak = 0.5) {
  const testsignal::Voice voice{
      .frequency = hz, .rate = static_cast<double>(rate), .amplitude = peak / 2.7};
  return testsignal::toPcm16(testsignal::steadyTone(voice, static_cast<size_t>(seconds * rate)));
}

std::vector<int16_t> whiteNoise(size_t count, uint32_t seed, int32_t amplitude = 8000) {
  std::mt19937 engine(seed);
  std::vector<int16_t> out(count);
  for (auto& v : out)
    v = static_cast<int16_t>(static_cast<int32_t>(engine() % (2 * amplitude + 1)) - amplitude);
  return out;
}

double cents(double hz, double truth) { return 1200 * std::log2(hz / truth); }

TEST(PreciseAnalysis, SteadyTonesWithinTenCentsAtEveryRate) {
  const struct {
    int32_t rate;
    double hz, peak;
  } cases[] = {{8000, 65.41, 0.5},   {8000, 987.77, 0.5},  {8000, 440, 0.016},  // -36 dBFS
               {11025, 123.47, 0.5}, {16000, 911.0, 0.5},  {22050, 60.0, 0.5},
               {44100, 329.63, 0.5}, {48000, 1046.5, 0.5}, {1000, 110, 0.5}};
  for (const auto& c : cases) {
    const auto frames = analysePrecise(tone(c.rate, c.hz, 1.0, c.peak), c.rate);
    ASSERT_EQ(frames.size(), 31u);
    for (size_t k = 2; k + 2 < frames.size(); ++k) {
      ASSERT_GT(frames[k].hz, 0) << c.hz << " Hz at " << c.rate << ", frame " << k;
      EXPECT_LT(std::abs(cents(frames[k].hz, c.hz)), 10) << c.hz << " Hz at " << c.rate;
      EXPECT_EQ(frames[k].tenths, std::lround(690 + 120 * std::log2(frames[k].hz / 440)));
      EXPECT_GT(frames[k].confidence, 0.9);
    }
  }
}

TEST(PreciseAnalysis, NoiseAndSilenceGetNoPitch) {
  std::vector<int16_t> brown(16000);
  double level = 0;
  const auto white = whiteNoise(brown.size(), 3);
  for (size_t n = 0; n < brown.size(); ++n) {
    level = 0.999 * level + white[n] / 8.0;
    brown[n] = static_cast<int16_t>(std::clamp(level, -32767.0, 32767.0));
  }
  const std::vector<std::vector<int16_t>> signals = {
      whiteNoise(16000, 1), whiteNoise(16000, 2, 40), brown, std::vector<int16_t>(16000, 0),
      std::vector<int16_t>(16000, 3000)};  // a constant offset
  for (size_t i = 0; i < signals.size(); ++i) {
    for (const PreciseFrame& f : analysePrecise(signals[i], 8000)) {
      EXPECT_EQ(f.tenths, 0) << "signal " << i;
    }
  }
}

// Any block split of the same samples gives bit-identical frames.
TEST(PreciseAnalysis, BlockSplitDoesNotChangeTheFrames) {
  auto samples = tone(44100, 200, 1.5);
  const auto noise = whiteNoise(samples.size(), 4, 2000);
  for (size_t n = 0; n < samples.size(); ++n)
    samples[n] = static_cast<int16_t>(samples[n] / 2 + noise[n]);
  const auto whole = analysePrecise(samples, 44100);
  std::mt19937 engine(5);
  PreciseAnalysis streaming(44100);
  for (size_t at = 0; at < samples.size();) {
    const size_t count = std::min<size_t>(samples.size() - at, 1 + engine() % 5000);
    streaming.push(std::span(samples).subspan(at, count));
    at += count;
  }
  streaming.finish();
  ASSERT_EQ(streaming.frames().size(), whole.size());
  for (size_t k = 0; k < whole.size(); ++k) {
    EXPECT_EQ(streaming.frames()[k].hz, whole[k].hz) << k;
    EXPECT_EQ(streaming.frames()[k].confidence, whole[k].confidence) << k;
  }
}

// Frame k depends on nothing after its end plus the look-ahead, and is final by then.
TEST(PreciseAnalysis, FramesDependOnlyOnAudioUpToTheLookAhead) {
  for (const int32_t rate : {1000, 8000, 11025, 44100}) {
    const auto base = tone(rate, 180, 2.0);
    for (const int64_t k : {10, 30}) {
      const auto cut =
          static_cast<size_t>(std::ceil(((k + 1) * 0.032 + kPreciseLookAheadSeconds) * rate));
      auto changed = base;
      const auto other = tone(rate, 500, 2.0);
      std::copy(other.begin() + static_cast<std::ptrdiff_t>(cut), other.end(),
                changed.begin() + static_cast<std::ptrdiff_t>(cut));
      PreciseAnalysis analysis(rate);
      analysis.push(std::span(changed).first(cut));
      ASSERT_GT(static_cast<int64_t>(analysis.frames().size()), k) << rate;
      const auto reference = analysePrecise(base, rate);
      const auto altered = analysePrecise(changed, rate);
      for (int64_t j = 0; j <= k; ++j) {
        EXPECT_EQ(altered[j].hz, reference[j].hz) << rate << " Hz, frame " << j;
      }
      EXPECT_NE(altered[k + 6].hz, reference[k + 6].hz);  // the change does show later
    }
  }
}

TEST(PreciseAnalysis, EightBitInputIsUnsigned) {
  const auto signed16 = tone(8000, 300, 1.0);
  std::vector<int16_t> bytes;
  for (const int16_t v : signed16) bytes.push_back(static_cast<int16_t>(128 + v / 256));
  const auto frames = analysePrecise(bytes, 8000, 8);
  EXPECT_EQ(frames[15].tenths, std::lround(690 + 120 * std::log2(300.0 / 440)));
}

TEST(PreciseAnalysis, RefusesRatesAndSampleSizesOutsideTheRange) {
  for (const auto& [rate, bits] : {std::pair{999, 16}, {768001, 16}, {8000, 24}, {8000, 0}}) {
    EXPECT_THROW(PreciseAnalysis(rate, bits), std::invalid_argument) << rate << " " << bits;
  }
  PreciseAnalysis analysis(8000);
  analysis.finish();
  EXPECT_THROW(analysis.push(std::vector<int16_t>(10)), std::logic_error);
  EXPECT_THROW(analysis.finish(), std::logic_error);
}

TEST(PreciseTrim, CutsUnpitchedFramesAtBothEnds) {
  std::vector<int16_t> samples(4000, 0);
  const auto note = tone(8000, 250, 0.5);
  samples.insert(samples.end(), note.begin(), note.end());
  samples.resize(samples.size() + 4000, 0);
  const auto frames = analysePrecise(samples, 8000);
  const PreciseContour contour = trimUnpitched(frames);
  ASSERT_FALSE(contour.frames.empty());
  EXPECT_NE(contour.frames.front().tenths, 0);
  EXPECT_NE(contour.frames.back().tenths, 0);
  EXPECT_EQ(frames[static_cast<size_t>(contour.firstFrame) - 1].tenths, 0);
  EXPECT_NEAR(static_cast<double>(contour.firstFrame), 4000 / 256.0, 1.5);
  EXPECT_NEAR(static_cast<double>(contour.frames.size()), 4000 / 256.0, 2.5);
}

}  // namespace
}  // namespace pitchtrack
