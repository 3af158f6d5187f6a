#include "precise_iir_lowpass.h"

#include <algorithm>

#include "precise_math.h"

namespace pitchtrack {

namespace {

constexpr double kCoefficientScale = 16384;  // Q14
constexpr int32_t kCoefficientShift = 14;
constexpr int32_t kSampleShift = 8;
// Quality factors of the three sections of a sixth-order Butterworth filter: 1 / (2 sin(k pi / 12))
// for k = 1, 3, 5.
constexpr double kQualities[3] = {1.9318516525781366, 0.7071067811865476, 0.5176380902050415};

int64_t quantise(double c) {
  const double scaled = c * kCoefficientScale;
  return static_cast<int64_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
}

// Group delay at 0 Hz of sum(c[k] z^-k): sum(k c[k]) / sum(c[k]).
double delayOf(double c0, double c1, double c2) { return (c1 + 2 * c2) / (c0 + c1 + c2); }

}  // namespace

PreciseIirLowpass::PreciseIirLowpass(double rate, double cutoffHz) {
  // Bilinear transform of the analogue prototype (the cookbook lowpass).
  const double w = 2 * kPi * cutoffHz / rate;
  const double cosW = preciseCos(w), sinW = preciseSin(w);
  double gain = 1;
  for (size_t s = 0; s < sections_.size(); ++s) {
    const double alpha = sinW / (2 * kQualities[s]);
    const double a0 = 1 + alpha;
    gain *= (1 - cosW) / (2 * a0);
    Section& section = sections_[s];
    section.a1 = quantise(-2 * cosW / a0), section.a2 = quantise((1 - alpha) / a0);
    const auto q = [](int64_t c) { return static_cast<double>(c) / kCoefficientScale; };
    delay_ += delayOf(1, 2, 1) - delayOf(1, q(section.a1), q(section.a2));
  }
  gain_ = quantise(gain);
}

namespace {

constexpr int64_t kHalf = int64_t{1} << (kCoefficientShift - 1);

// One section's step, y = x + 2 x[-1] + x[-2] - a1 y[-1] - a2 y[-2] with coefficients in Q14, in
// transposed form: two partial sums (scaled by 2^14) carry the past, and only y is rounded.
struct SectionStep {
  int64_t a1, a2, s1, s2;

  int64_t next(int64_t x) {
    const int64_t scaled = x * (int64_t{1} << kCoefficientShift);
    const int64_t y = (scaled + s1 + kHalf) >> kCoefficientShift;
    s1 = 2 * scaled - a1 * y + s2;
    s2 = scaled - a2 * y;
    return y;
  }

  bool operator==(const SectionStep&) const = default;
};

// Samples filtered between looks for a run of silence (as long at least).
constexpr size_t kBlock = 64;

struct Cascade {
  SectionStep first, second, third;
  int64_t gain;

  bool operator==(const Cascade&) const = default;

  int16_t next(int16_t sample) {
    const int64_t y = third.next(second.next(first.next(int64_t{sample} * (1 << kSampleShift))));
    const int64_t scaled = (y * gain + kHalf) >> kCoefficientShift;
    const int64_t out = (scaled + (1 << (kSampleShift - 1))) >> kSampleShift;
    return static_cast<int16_t>(std::clamp<int64_t>(out, -32767, 32767));
  }

  void filter(std::span<int16_t> samples) {
    for (int16_t& sample : samples) sample = next(sample);
  }

  // Filters a run of zeros. With no input the rounded state falls into a cycle (often a nonzero
  // one: the rounding holds it); once the state repeats (Brent's cycle search) with silent output
  // in between, whole cycles are skipped, which leave the state as it was and the zeros as they
  // are.
  void filterSilence(std::span<int16_t> zeros) {
    Cascade mark = *this;
    size_t power = 1, period = 0, silentSince = 0;
    for (size_t i = 0; i < zeros.size(); ++i) {
      zeros[i] = next(0);
      if (zeros[i] != 0) silentSince = i + 1;
      ++period;
      if (*this == mark && silentSince + period <= i + 1) {
        for (size_t rest = (zeros.size() - i - 1) % period; rest > 0; --rest) next(0);
        return;
      }
      if (period == power) mark = *this, power *= 2, period = 0;
    }
  }
};

// Zero samples from the start of `samples`.
size_t leadingZeros(std::span<const int16_t> samples) {
  size_t n = 0;
  while (n < samples.size() && samples[n] == 0) ++n;
  return n;
}

}  // namespace

void PreciseIirLowpass::filter(std::span<int16_t> samples) {
  // The state in plain locals, so that it stays in registers through the loop.
  const auto load = [](const Section& s) { return SectionStep{s.a1, s.a2, s.s1, s.s2}; };
  Cascade cascade{load(sections_[0]), load(sections_[1]), load(sections_[2]), gain_};
  while (!samples.empty()) {
    const size_t zeros = leadingZeros(samples.first(std::min(samples.size(), kBlock)));
    if (zeros == kBlock || zeros == samples.size()) {
      const size_t run = leadingZeros(samples);
      cascade.filterSilence(samples.first(run));
      samples = samples.subspan(run);
      continue;
    }
    const size_t count = std::min(samples.size(), kBlock);
    cascade.filter(samples.first(count));
    samples = samples.subspan(count);
  }
  const auto store = [](const SectionStep& s, Section& to) { to.s1 = s.s1, to.s2 = s.s2; };
  store(cascade.first, sections_[0]), store(cascade.second, sections_[1]);
  store(cascade.third, sections_[2]);
}

}  // namespace pitchtrack
