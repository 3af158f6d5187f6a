#include "pipeline/precise_resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace pitchtrack {
namespace {

std::vector<int16_t> sine(int32_t rate, double hz, double amplitude, size_t count) {
  std::vector<int16_t> out(count);
  for (size_t n = 0; n < count; ++n) {
    out[n] = static_cast<int16_t>(std::lround(
        amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(n) / rate)));
  }
  return out;
}

std::vector<int16_t> resample(int32_t rate, const std::vector<int16_t>& input) {
  PreciseResampler resampler(rate);
  std::vector<int16_t> out;
  resampler.push(input, out);
  resampler.finish(static_cast<int64_t>(input.size()), out);
  return out;
}

// Every rate gives 8000 Hz samples of the same tone, at its level and in time (the lowpass'
// delay compensated to within 1/16 ms).
TEST(PreciseResampler, KeepsTimeAndLevelOfATone) {
  for (const int32_t rate : {1000, 4000, 8000, 11025, 16000, 22050, 44100, 48000, 96000, 768000}) {
    const double hz = rate <= 1000 ? 100 : 300;
    const auto out = resample(rate, sine(rate, hz, 10000, static_cast<size_t>(rate)));
    ASSERT_EQ(out.size(), 8000u) << rate;
    double inPhase = 0, quadrature = 0;  // projections on sin and cos of the tone
    for (size_t m = 400; m < 7600; ++m) {
      const double angle = 2 * std::numbers::pi * hz * static_cast<double>(m) / 8000;
      inPhase += out[m] * std::sin(angle) * 2 / 7200;
      quadrature += out[m] * std::cos(angle) * 2 / 7200;
    }
    EXPECT_NEAR(std::hypot(inPhase, quadrature), 10000, 150) << rate << " Hz";
    const double lateSeconds = -std::atan2(quadrature, inPhase) / (2 * std::numbers::pi * hz);
    EXPECT_LT(std::abs(lateSeconds), 0.07e-3) << rate << " Hz";
  }
}

// Above the band (and its images) nothing passes.
TEST(PreciseResampler, RemovesWhatLiesAboveThePitchBand) {
  const struct {
    int32_t rate;
    double hz;
  } cases[] = {{8000, 2500},  {8000, 3900},   {44100, 3000}, {44100, 7900},
               {48000, 8100}, {22050, 10500}, {16000, 6000}};
  for (const auto& c : cases) {
    const auto out = resample(c.rate, sine(c.rate, c.hz, 20000, static_cast<size_t>(c.rate)));
    int32_t peak = 0;
    for (size_t m = 400; m + 400 < out.size(); ++m)
      peak = std::max(peak, std::abs(int32_t{out[m]}));
    EXPECT_LT(peak, 200) << c.hz << " Hz at " << c.rate;  // 40 dB down
  }
}

}  // namespace
}  // namespace pitchtrack
