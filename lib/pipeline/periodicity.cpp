#include "periodicity.h"

#include <algorithm>

namespace pitchtrack::pipeline {

namespace {

__extension__ using Wide = __int128;

// d[n] = N x[n] - sum x: the frame centred on its mean, scaled by N to stay in integers.
std::vector<int64_t> centred(std::span<const int16_t> frame) {
  const auto n = static_cast<int64_t>(frame.size());
  int64_t sum = 0;
  for (const int16_t x : frame) sum += x;
  std::vector<int64_t> d(frame.size());
  for (size_t i = 0; i < frame.size(); ++i) d[i] = n * frame[i] - sum;
  return d;
}

// energy[i] = sum of d[k]^2 for k < i.
std::vector<int64_t> energyPrefix(const std::vector<int64_t>& d) {
  std::vector<int64_t> energy(d.size() + 1, 0);
  for (size_t i = 0; i < d.size(); ++i) energy[i + 1] = energy[i] + d[i] * d[i];
  return energy;
}

bool faint(const std::vector<int64_t>& energy, int64_t n) {
  // mean square of x = energy / n^3 (d is n times the centred sample).
  return energy.back() < static_cast<int64_t>(kFaintMeanSquare) * n * n * n;
}

int64_t correlationAt(const std::vector<int64_t>& d, size_t lag) {
  int64_t r = 0;
  for (size_t i = 0; i + lag < d.size(); ++i) r += d[i] * d[i + lag];
  return r;
}

bool periodicAtLag(int64_t r, const std::vector<int64_t>& energy, size_t lag) {
  if (r <= 0) return false;
  const size_t n = energy.size() - 1;
  const int64_t e0 = energy[n - lag];
  const int64_t e1 = energy[n] - energy[lag];
  constexpr Wide kSquare = static_cast<Wide>(kPeriodicityPercent) * kPeriodicityPercent;
  return static_cast<Wide>(r) * r * 10000 >= kSquare * e0 * e1;
}

// The first lag at which the autocorrelation falls to zero or below: before it lies the main
// lobe, which low-pass noise stretches over many lags without any period behind it.
size_t firstDip(const std::vector<int64_t>& d, size_t last) {
  for (size_t lag = 1; lag <= last; ++lag) {
    if (correlationAt(d, lag) <= 0) return lag;
  }
  return last + 1;
}

}  // namespace

bool periodicFrame(std::span<const int16_t> frame) {
  const std::vector<int64_t> d = centred(frame);
  const std::vector<int64_t> energy = energyPrefix(d);
  if (faint(energy, static_cast<int64_t>(d.size()))) return false;
  const size_t last = std::min(static_cast<size_t>(kMaxLag), d.size() - 1);
  for (size_t lag = std::max(static_cast<size_t>(kMinLag), firstDip(d, last)); lag <= last; ++lag) {
    if (periodicAtLag(correlationAt(d, lag), energy, lag)) return true;
  }
  return false;
}

std::vector<uint8_t> periodicFrames(std::span<const int16_t> signal, int32_t frameSize, int32_t hop,
                                    int32_t frames) {
  std::vector<uint8_t> periodic(static_cast<size_t>(frames), 0);
  for (int32_t f = 0; f < frames; ++f) {
    const auto start = static_cast<size_t>(f) * static_cast<size_t>(hop);
    if (start + static_cast<size_t>(frameSize) > signal.size()) break;
    periodic[static_cast<size_t>(f)] =
        periodicFrame(signal.subspan(start, static_cast<size_t>(frameSize))) ? 1 : 0;
  }
  return periodic;
}

}  // namespace pitchtrack::pipeline
