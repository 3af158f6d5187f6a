#include "precise_lowpass.h"

#include <algorithm>
#include <cmath>

#include "precise_math.h"

namespace pitchtrack {

namespace {

// The continuous kernel at offset t (input samples) from the output position.
double kernel(double t, double cutoff, double halfWidth) {
  const double u = t / halfWidth;
  if (u <= -1 || u >= 1) return 0;
  const double window = 0.42 + 0.5 * preciseCos(kPi * u) + 0.08 * preciseCos(2 * kPi * u);
  const double x = 2 * cutoff * t;  // cutoff as a fraction of the rate
  const double sinc = x == 0 ? 1.0 : preciseSin(kPi * x) / (kPi * x);
  return 2 * cutoff * sinc * window;
}

// Q15 taps of one phase, rounded, with the rounding residue put on the largest tap so that the
// row sums to exactly 32768.
void quantiseRow(const std::vector<double>& weights, int16_t* out) {
  double sum = 0;
  for (const double w : weights) sum += w;
  int32_t total = 0;
  size_t largest = 0;
  for (size_t j = 0; j < weights.size(); ++j) {
    const double scaled = weights[j] / sum * 32768.0;
    const auto q = static_cast<int32_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
    out[j] = static_cast<int16_t>(q);
    total += q;
    if (weights[j] > weights[largest]) largest = j;
  }
  out[largest] = static_cast<int16_t>(out[largest] + (32768 - total));
}

}  // namespace

PreciseLowpass designPreciseLowpass(double rate, double cutoffHz, double transitionHz,
                                    int32_t phases) {
  PreciseLowpass filter;
  // A Blackman window of N taps has a transition band of about 5.5 / N of the rate.
  filter.halfWidth = std::max<int32_t>(2, static_cast<int32_t>(2.75 * rate / transitionHz) + 1);
  filter.phases = phases;
  const int32_t width = 2 * filter.halfWidth;
  filter.rowLength = (width + 15) / 16 * 16;
  const int32_t padding = filter.rowLength - width;
  filter.taps.assign(static_cast<size_t>(phases) * static_cast<size_t>(filter.rowLength), 0);
  const double cutoff = cutoffHz / rate;
  std::vector<double> weights(static_cast<size_t>(width));
  for (int32_t p = 0; p < phases; ++p) {
    const double fraction = static_cast<double>(p) / phases;
    for (int32_t j = 0; j < width; ++j) {
      const double t = (j - filter.halfWidth + 1) - fraction;
      weights[static_cast<size_t>(j)] = kernel(t, cutoff, filter.halfWidth);
    }
    quantiseRow(weights, filter.taps.data() + static_cast<size_t>(p * filter.rowLength + padding));
  }
  return filter;
}

}  // namespace pitchtrack
