// The endpoint detector's frame measures written out straightforwardly, in wrapping 32-bit
// arithmetic on 32-bit samples: the oracle of the library's 16-bit kernels, which count instead
// of sorting and sum in plain integers where nothing can wrap.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "audio/frame.h"

namespace testsupport {

// Sum over each frame of |x - median|, the median of an even frame the mean of its two middle
// values truncated toward zero (volume method 1).
inline void medianVolumes(std::span<const int32_t> signal, int32_t frameSize, int32_t overlap,
                          std::span<int32_t> volume) {
  using pitchtrack::wrapAbsDiff;
  using pitchtrack::wrapAdd;
  const int32_t frames =
      pitchtrack::frameCount(static_cast<int32_t>(signal.size()), frameSize, overlap);
  const auto size = static_cast<size_t>(frameSize);
  for (size_t k = 0; k < static_cast<size_t>(std::max(frames, 0)); ++k) {
    const auto frame = signal.subspan(k * static_cast<size_t>(frameSize - overlap), size);
    std::vector<int32_t> sorted(frame.begin(), frame.end());
    std::sort(sorted.begin(), sorted.end());
    const size_t t = (size - 1) / 2;
    const auto median = static_cast<int32_t>(
        size % 2 == 1 ? sorted[t] : (static_cast<int64_t>(sorted[t]) + sorted[t + 1]) / 2);
    int32_t sum = 0;
    for (const int32_t x : frame) sum = wrapAdd(sum, wrapAbsDiff(x, median));
    volume[k] = sum;
  }
}

// Sum over each frame of |d|, d the order-th difference with the coefficients of (x - 1)^order
// negated (-1 on the earliest sample), in wrapping 32-bit arithmetic.
inline void highOrderDifferences(std::span<const int32_t> signal, int32_t frameSize,
                                 int32_t overlap, std::span<int32_t> diff, int32_t order) {
  std::vector<int32_t> c(static_cast<size_t>(order) + 1);
  int32_t binomial = 1;
  for (int32_t q = 0; q <= order; ++q) {
    c[static_cast<size_t>(q)] = q % 2 == 0 ? -binomial : binomial;
    binomial = binomial * (order - q) / (q + 1);
  }
  const int32_t frames =
      pitchtrack::frameCount(static_cast<int32_t>(signal.size()), frameSize, overlap);
  for (size_t k = 0; k < static_cast<size_t>(std::max(frames, 0)); ++k) {
    const auto frame = signal.subspan(k * static_cast<size_t>(frameSize - overlap),
                                      static_cast<size_t>(frameSize));
    uint32_t total = 0;
    for (size_t p = 0; p + static_cast<size_t>(order) < frame.size(); ++p) {
      int32_t d = 0;
      for (size_t q = 0; q < c.size(); ++q) {
        d = pitchtrack::wrapAdd(d, pitchtrack::wrapMul(c[q], frame[p + q]));
      }
      total += static_cast<uint32_t>(pitchtrack::wrapAbsDiff(d, 0));
    }
    diff[k] = static_cast<int32_t>(total);
  }
}

}  // namespace testsupport
