// Linear-interpolation resampling without any filter, for a source that arrives block by block.
//
// The target of a source of L samples has resampledLength(L) samples: output 0 is the first
// source sample, the last output is the last source sample, and every inner output i takes the
// value at position t = i * srcRate / dstRate (double precision) interpolated between
// src[floor(t)] and src[floor(t) + 1], rounded half away from zero through single precision.
// Samples at integral positions are copied exactly. Linear interpolation never leaves the range
// of its two neighbours, so 16-bit input gives 16-bit output.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "audio/simd.h"
#include "sample_buffer.h"

namespace pitchtrack {

// The target length for a rate change: floor((srcLength - 1) * dstRate / srcRate) + 1, in
// double precision; 0 for an empty source.
int64_t resampledLength(int64_t srcLength, int32_t srcRate, int32_t dstRate);

// The interpolated value between `left` and `right` at fraction `f` (0 <= f < 1) of the way:
// left * (1 - f) + right * f in double precision, narrowed to single precision and rounded half
// away from zero. The one formula of every resampling path.
// The half is added with the value's sign, so +-0 become +-0.5 and truncate to 0 like any other
// value of magnitude below a half: no branch on the sign.
[[gnu::always_inline]] inline int16_t interpolateSample(int32_t left, int32_t right, double f) {
  const double v = left * (1 - f) + right * f;
  const auto narrowed = static_cast<double>(static_cast<float>(v));
  const double shifted = narrowed + std::copysign(0.5, narrowed);
  return static_cast<int16_t>(static_cast<int32_t>(shifted));
}

// Where the outputs fall in the source, without a division per output. With p/d the rate ratio
// srcRate/dstRate in lowest terms, output i lies at t = fl(i * srcRate / dstRate) = fl(i*p/d),
// the exact quotient rounded once (i * srcRate is exact below 2^53). Its left source sample is
// k = floor(i*p/d) exactly, and its fraction f = t - k depends only on the phase
// r = i*p mod d and on the binade [2^e, 2^(e+1)) of k: there fl(k + r/d) = k + (r/d rounded to
// the binade's spacing 2^(e-52)), which is the same for every k of the binade (k lies on that
// spacing; r/d is no tie, and never rounds up to 1 while k*d < 2^52). So
// f = fl((2^e*d + r) / d) - 2^e, one exact integer division per phase and binade. Outputs with
// k = 0 keep the division, as does any position past those bounds.
class RatePhases {
 public:
  RatePhases(int32_t srcRate, int32_t dstRate);

  int64_t step() const { return step_; }      // p
  int64_t period() const { return period_; }  // d
  // Whether outputs whose left sample k lies in binade e can use fractions(e); only when the
  // table is small enough to be worth building.
  bool covers(int binade) const;
  // The fraction of phase r for left samples in binade e (which covers() allows).
  double fraction(int binade, int64_t phase) const;
  // The fraction of every phase r = 0 .. d - 1 for left samples in binade e; valid until the
  // next call.
  const double* fractions(int binade);

 private:
  static constexpr int64_t kMaxPeriod = 1 << 16;

  int64_t step_ = 0;
  int64_t period_ = 0;  // 0 for rates that are not positive: every output takes the division
  int32_t dstRate_;
  int binade_ = -1;
  std::vector<double> table_;
};

// Out and Divisor say how outputs are stored: each interpolated 16-bit value divided by Divisor
// (truncated toward zero) as an Out. StreamingResampler keeps the values as they are;
// ReducingResampler keeps a 16-bit source's outputs already reduced to the 8-bit range (v / 256),
// in half the memory.
template <typename Out, int Divisor>
class BasicStreamingResampler {
 public:
  // `expectedLength` is the exact whole source length when the caller knows it (the target is
  // then allocated once), or 0 when the source ends only at finish().
  // `level` (which must be available) chooses the inner loop that interpolates runs of outputs
  // whose two source samples lie in one block: AVX2 from kAvx2 up, else the portable loop.
  BasicStreamingResampler(int32_t srcRate, int32_t dstRate, int64_t expectedLength = 0,
                          SimdLevel level = simdLevel());

  // Takes the next block of the source, in order.
  void push(std::span<const int16_t> block);
  // The resampled signal, resampledLength(samples pushed) values; the resampler is spent.
  SampleBufferOf<Out> finish();

 private:
  void interpolateUpTo(size_t available, std::span<const int16_t> block);
  size_t leftSourceOf(size_t output) const;

  int32_t srcRate_;
  int32_t dstRate_;
  SimdLevel level_;
  RatePhases phases_;
  size_t outputLimit_;          // outputs worth computing: the inner outputs of a known length
  SampleBufferOf<Out> buffer_;  // outputs 0 .. next_ - 1 are written
  size_t next_ = 1;             // next inner output to compute
  size_t blockStart_ = 0;       // source index of the current block's first sample
  int16_t first_ = 0;           // the first source sample
  int16_t carry_ = 0;           // the source sample just before the current block
};

using StreamingResampler = BasicStreamingResampler<int16_t, 1>;
using ReducingResampler = BasicStreamingResampler<int8_t, 256>;

extern template class BasicStreamingResampler<int16_t, 1>;
extern template class BasicStreamingResampler<int8_t, 256>;

}  // namespace pitchtrack
