// The opt-in remedies: each repairs the loss it is made for, leaves a clean recording alone,
// and gives the same contour through every entry of the library.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "pipeline/extract_pitch.h"
#include "pipeline/periodicity.h"
#include "pitchtrack/pitchtrack.h"
#include "support/analysis_examples.h"
#include "support/signals.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"

namespace {

using pitchtrack::Options;
using pitchtrack::Voicing;

std::vector<int32_t> contour(const std::vector<int16_t>& samples, const Options& options = {}) {
  return pitchtrack::track(samples, examples::kRate, 16, options).values;
}

Options with(bool normalize, bool keepFinal, bool strict) {
  Options options;
  options.normalize = normalize;
  options.keepFinal = keepFinal;
  options.voicing = strict ? Voicing::kStrict : Voicing::kRelative;
  return options;
}

size_t pitched(const std::vector<int32_t>& values) {
  return static_cast<size_t>(
      std::count_if(values.begin(), values.end(), [](int32_t v) { return v != 0; }));
}

bool has(const std::vector<int32_t>& values, int32_t value) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

TEST(Remedies, KeepFinalKeepsTheLastNote) {
  const std::vector<int16_t> samples = examples::notes({57, 59, 60, 62, 64}, 0.4, 0.2, 1.2);
  const std::vector<int32_t> byDefault = contour(samples);
  const std::vector<int32_t> kept = contour(samples, with(false, true, false));
  ASSERT_FALSE(byDefault.empty());
  EXPECT_FALSE(has(byDefault, 640)) << "the fault this remedy is for";
  EXPECT_EQ(std::count(kept.begin(), kept.end(), 640), 13);
  EXPECT_EQ(
      std::vector<int32_t>(kept.begin(), kept.begin() + static_cast<ptrdiff_t>(byDefault.size())),
      byDefault);
}

TEST(Remedies, NormalizeGivesAQuietRecordingItsFullLevelContour) {
  const std::vector<int16_t> loud = examples::notes({48, 52, 55, 57});
  for (const double factor : {0.1, 0.018, 0.005}) {
    SCOPED_TRACE(factor);
    const std::vector<int16_t> quiet = examples::scaled(loud, factor);
    EXPECT_NE(contour(quiet), contour(loud)) << "the fault this remedy is for";
    EXPECT_EQ(contour(quiet, with(true, false, false)), contour(loud, with(true, false, false)));
  }
  EXPECT_EQ(contour(loud, with(true, false, false)), contour(loud));
}

// White noise through a one-pole low-pass with coefficient `pole` (0: white; 0.9: pink-like;
// 0.995: brown, a leaky random walk), scaled so that its peak is `peak`.
std::vector<int16_t> colouredNoise(double pole, int32_t peak, uint32_t seed) {
  const std::vector<int16_t> white = examples::whiteNoise(3.7, 10000, seed);
  std::vector<double> filtered(white.size());
  double state = 0;
  double largest = 1;
  for (size_t i = 0; i < white.size(); ++i) {
    state = pole * state + white[i];
    filtered[i] = state;
    largest = std::max(largest, std::abs(state));
  }
  std::vector<int16_t> out;
  for (const double v : filtered)
    out.push_back(static_cast<int16_t>(std::lround(v * peak / largest)));
  return out;
}

// Noise of every colour gets little pitch (at most 20 of 115 frames; before the main-lobe rule,
// brown noise kept 70 to 80 and pink 23 to 37): low-pass noise keeps a high correlation over
// many short lags, which is no period; only frames past the main lobe of the autocorrelation
// count.
TEST(Remedies, StrictVoicingGivesNoiseNoPitch) {
  struct Case {
    const char* colour;
    double pole;
    size_t mostPitched;  // of 115 frames
  };
  for (const Case& c : {Case{"white", 0.0, 0}, Case{"pink", 0.9, 20}, Case{"brown", 0.995, 15}}) {
    for (const int32_t peak : {30000, 3000, 300}) {
      SCOPED_TRACE(std::string(c.colour) + " at " + std::to_string(peak));
      const std::vector<int16_t> noise = colouredNoise(c.pole, peak, static_cast<uint32_t>(peak));
      EXPECT_LE(pitched(contour(noise, with(true, false, true))), c.mostPitched);
    }
  }
  EXPECT_GT(pitched(contour(examples::whiteNoise(3, 10000))), 40u) << "the fault this is for";
}

// On clean notes strict voicing only takes away, and little: a frame it keeps has the default
// value, and it drops at most one frame per note (where a note starts or stops inside a frame,
// which the default often reads a few semitones off).
TEST(Remedies, StrictVoicingLeavesCleanNotesAlmostAlone) {
  const std::vector<int16_t> tones = examples::notes({50, 55, 57, 60, 62, 64, 65});
  const std::vector<int32_t> relaxed = contour(tones);
  const std::vector<int32_t> strict = contour(tones, with(false, false, true));
  ASSERT_EQ(strict.size(), relaxed.size());
  for (size_t i = 0; i < strict.size(); ++i) {
    if (strict[i] != 0) {
      EXPECT_EQ(strict[i], relaxed[i]) << i;
    }
  }
  EXPECT_GE(pitched(strict) + 7, pitched(relaxed));
}

TEST(Remedies, EveryEntryOfTheLibraryAppliesThem) {
  const std::vector<int16_t> samples =
      examples::scaled(examples::notes({57, 59, 60, 62, 64}, 0.4, 0.2, 1.2), 0.02);
  const Options options = with(true, true, true);
  const std::vector<int32_t> expected = contour(samples, options);
  ASSERT_TRUE(has(expected, 640));
  pitchtrack::Tracker tracker(examples::kRate, 16, options);
  tracker.push(samples);
  EXPECT_EQ(tracker.finish().values, expected);
  testsupport::TempDir work;
  testwav::writeFile(work.path("in.wav"), testwav::pcmWave(samples));
  EXPECT_EQ(pitchtrack::trackFile(work.path("in.wav").string(), options).values, expected);
}

TEST(Remedies, NormalizeScalesByThePeakInIntegers) {
  const struct {
    std::vector<int16_t> in, out;
  } cases[] = {
      {{100, -50, 0, 1}, {32767, -16383, 0, 327}},
      {{-32768, 16384, -1}, {-32767, 16383, 0}},
      {{3, -3, 2}, {32767, -32767, 21844}},
      {{0, 0, 0}, {0, 0, 0}},
      {{}, {}},
  };
  for (const auto& c : cases) {
    std::vector<int16_t> samples = c.in;
    pitchtrack::pipeline::normalizeToFullRange(samples);
    EXPECT_EQ(samples, c.out);
  }
}

// One 32 ms frame in the 8-bit range.
std::vector<int16_t> frameOf(const std::vector<int32_t>& values) {
  return testsignal::toInt16(std::span(values).first(256));
}

// Frames of eleven samples, where only lags 8..10 exist, built so that the best normalised
// autocorrelation is exactly 0.5 (periodic) or 0.4975 (not): the strict-voicing threshold is
// one half, on its own, whatever the other thresholds of the analysis are.
TEST(Remedies, PeriodicityThresholdIsOneHalf) {
  const auto frame = [](std::vector<int32_t> values) {
    for (int32_t& v : values) v += 128;
    return testsignal::toInt16(values);
  };
  const struct {
    const char* name;
    std::vector<int16_t> frame;
    bool periodic;
  } cases[] = {
      {"correlation 0.5", frame({-2, -2, 1, 1, 2, 6, -4, 6, 1, -3, 5}), true},
      {"correlation 0.4975", frame({4, 4, 1, 1, -5, -6, 5, 5, 1, 6, -4}), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(pitchtrack::pipeline::periodicFrame(c.frame), c.periodic) << c.name;
  }
}

TEST(Remedies, PeriodicityNeedsARepeatingFrameAboveTheFaintLevel) {
  std::vector<int32_t> noise;
  for (const int16_t v : examples::whiteNoise(0.032, 100, 7)) noise.push_back(v);
  const struct {
    const char* name;
    std::vector<int16_t> frame;
    bool periodic;
  } cases[] = {
      {"tone at 220 Hz", frameOf(testsignal::harmonicTone(8000, 220, 100, 256)), true},
      {"tone at 60 Hz", frameOf(testsignal::harmonicTone(8000, 60, 100, 256)), true},
      {"pulses every 40 samples", frameOf(testsignal::pulseTrain(40, 100, 256)), true},
      {"white noise", frameOf(noise), false},
      {"faint tone", frameOf(testsignal::harmonicTone(8000, 220, 1, 256)), false},
      {"constant", frameOf(testsignal::silence(256, 90)), false},
      {"period below the shortest lag", frameOf(testsignal::pulseTrain(4, 100, 256)), true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(pitchtrack::pipeline::periodicFrame(c.frame), c.periodic) << c.name;
  }
}

}  // namespace
