#include "resample.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numeric>

#include "audio/frame.h"

namespace pitchtrack {

int64_t resampledLength(int64_t srcLength, int32_t srcRate, int32_t dstRate) {
  if (srcLength <= 0) return 0;
  const double length = std::floor(static_cast<double>(srcLength - 1) *
                                   static_cast<double>(dstRate) / static_cast<double>(srcRate));
  return static_cast<int64_t>(length) + 1;
}

RatePhases::RatePhases(int32_t srcRate, int32_t dstRate) : dstRate_(dstRate) {
  if (srcRate > 0 && dstRate > 0) {
    step_ = srcRate / std::gcd(srcRate, dstRate);
    period_ = dstRate / std::gcd(srcRate, dstRate);
  }
}

bool RatePhases::covers(int binade) const {
  constexpr int64_t kExact = int64_t{1} << 52;
  // dstRate * 2^(e+1) <= 2^52 bounds both i * srcRate and k * d of the binade's outputs.
  return binade >= 0 && binade < 40 && period_ > 0 && period_ <= kMaxPeriod &&
         static_cast<int64_t>(dstRate_) <= (kExact >> (binade + 1));
}

double RatePhases::fraction(int binade, int64_t phase) const {
  const int64_t base = int64_t{1} << binade;
  return static_cast<double>(base * period_ + phase) / static_cast<double>(period_) -
         static_cast<double>(base);
}

const double* RatePhases::fractions(int binade) {
  if (binade != binade_) {
    table_.resize(static_cast<size_t>(period_));
    for (int64_t r = 0; r < period_; ++r) table_[static_cast<size_t>(r)] = fraction(binade, r);
    binade_ = binade;
  }
  return table_.data();
}

namespace {

// An interpolated sample as the output stores it: divided by Divisor (truncated toward zero),
// so that 16-bit sources can be kept in 8 bits already reduced.
template <typename Out, int Divisor>
[[gnu::always_inline]] inline Out reduced(int16_t v) {
  if constexpr (Divisor == 1) {
    return static_cast<Out>(v);
  } else {
    return static_cast<Out>(v / Divisor);
  }
}

// Output i of a run whose two source samples lie in `block` (source index `base` first), with
// the division of the position: the outputs the phase table does not cover. t is never
// negative, so truncation is the floor.
template <typename Out, int Divisor>
[[gnu::always_inline]] inline void interpolateByDivision(const int16_t* block, size_t base,
                                                         size_t i, double srcRate, double dstRate,
                                                         Out* dst) {
  const double t = static_cast<double>(i) * srcRate / dstRate;
  const auto k = static_cast<int64_t>(t);
  const double f = t - static_cast<double>(k);
  const size_t at = static_cast<size_t>(k) - base;
  dst[i] = reduced<Out, Divisor>(interpolateSample(block[at], block[at + 1], f));
}

// Outputs first .. last - 1, all of whose left samples k lie in one binade of the phase table:
// k and the phase r advance by the ratio's integer and fractional steps.
template <typename Out, int Divisor>
[[gnu::always_inline]] inline void interpolateByPhase(const int16_t* block, size_t base,
                                                      size_t first, size_t last,
                                                      const RatePhases& phases,
                                                      const double* fractions, Out* dst) {
  const int64_t p = phases.step();
  const int64_t d = phases.period();
  const int64_t whole = p / d;
  const int64_t fractionStep = p % d;
  const auto position = static_cast<int64_t>(first) * p;
  auto at = static_cast<size_t>(position / d) - base;
  int64_t r = position % d;
  for (size_t i = first; i < last; ++i) {
    dst[i] = reduced<Out, Divisor>(interpolateSample(block[at], block[at + 1], fractions[r]));
    r += fractionStep;
    const int64_t carry = r >= d ? 1 : 0;
    r -= carry * d;
    at += static_cast<size_t>(whole + carry);
  }
}

// The first output whose left source sample is at least k: ceil(k*d / p).
size_t firstOutputAt(int64_t k, const RatePhases& phases) {
  return static_cast<size_t>((k * phases.period() + phases.step() - 1) / phases.step());
}

// Inner outputs first .. last - 1 whose two source samples both lie in `block`, which starts at
// source index `base`: binade by binade through the phase table where it applies.
template <typename Out, int Divisor>
[[gnu::always_inline]] inline void interpolateRunBody(const int16_t* block, size_t base,
                                                      size_t first, size_t last, RatePhases& phases,
                                                      double srcRate, double dstRate, Out* dst) {
  size_t i = first;
  while (i < last) {
    const auto k = static_cast<int64_t>(i) * phases.step() / phases.period();
    const int binade = k == 0 ? -1 : static_cast<int>(std::bit_width(static_cast<uint64_t>(k))) - 1;
    if (!phases.covers(binade)) {
      interpolateByDivision<Out, Divisor>(block, base, i++, srcRate, dstRate, dst);
      continue;
    }
    const size_t end = std::min(last, firstOutputAt(int64_t{2} << binade, phases));
    interpolateByPhase<Out, Divisor>(block, base, i, end, phases, phases.fractions(binade), dst);
    i = end;
  }
}

template <typename Out, int Divisor>
void interpolateRunPortable(const int16_t* block, size_t base, size_t first, size_t last,
                            RatePhases& phases, double srcRate, double dstRate, Out* dst) {
  interpolateRunBody<Out, Divisor>(block, base, first, last, phases, srcRate, dstRate, dst);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
template <typename Out, int Divisor>
__attribute__((target("avx2"))) void interpolateRunAvx2(const int16_t* block, size_t base,
                                                        size_t first, size_t last,
                                                        RatePhases& phases, double srcRate,
                                                        double dstRate, Out* dst) {
  interpolateRunBody<Out, Divisor>(block, base, first, last, phases, srcRate, dstRate, dst);
}
#else
template <typename Out, int Divisor>
void interpolateRunAvx2(const int16_t* block, size_t base, size_t first, size_t last,
                        RatePhases& phases, double srcRate, double dstRate, Out* dst) {
  interpolateRunBody<Out, Divisor>(block, base, first, last, phases, srcRate, dstRate, dst);
}
#endif

}  // namespace

template <typename Out, int Divisor>
BasicStreamingResampler<Out, Divisor>::BasicStreamingResampler(int32_t srcRate, int32_t dstRate,
                                                               int64_t expectedLength,
                                                               SimdLevel level)
    : srcRate_(srcRate),
      dstRate_(dstRate),
      level_(level),
      phases_(srcRate, dstRate),
      outputLimit_(std::numeric_limits<size_t>::max()) {
  if (expectedLength > 0) {
    const auto length = static_cast<size_t>(resampledLength(expectedLength, srcRate, dstRate));
    buffer_ = SampleBufferOf<Out>(length);
    outputLimit_ = length - 1;
  }
}

template <typename Out, int Divisor>
size_t BasicStreamingResampler<Out, Divisor>::leftSourceOf(size_t output) const {
  return static_cast<size_t>(std::floor(static_cast<double>(output) * srcRate_ / dstRate_));
}

// Computes every inner output whose two source samples have arrived (the source index of the
// block end is `available`). An output that needs the sample carried from the previous block
// is computed on its own; the run after it goes through the vectorised kernel.
template <typename Out, int Divisor>
void BasicStreamingResampler<Out, Divisor>::interpolateUpTo(size_t available,
                                                            std::span<const int16_t> block) {
  auto ready = [&](size_t output) {
    return output < outputLimit_ && leftSourceOf(output) + 1 < available;
  };
  size_t end =
      std::max(next_, static_cast<size_t>(static_cast<double>(available) * dstRate_ / srcRate_));
  while (end > next_ && !ready(end - 1)) --end;
  while (ready(end)) ++end;
  if (end <= next_) return;
  buffer_.grow(end);
  Out* dst = buffer_.samples().data();
  // Upsampling can place several outputs between the carried sample and the block's first.
  for (; next_ < end && leftSourceOf(next_) < blockStart_; ++next_) {
    const size_t k = leftSourceOf(next_);
    const double f = static_cast<double>(next_) * srcRate_ / dstRate_ - static_cast<double>(k);
    dst[next_] = reduced<Out, Divisor>(interpolateSample(carry_, block[k + 1 - blockStart_], f));
  }
  const auto kernel = level_ >= SimdLevel::kAvx2 ? interpolateRunAvx2<Out, Divisor>
                                                 : interpolateRunPortable<Out, Divisor>;
  kernel(block.data(), blockStart_, next_, end, phases_, srcRate_, dstRate_, dst);
  next_ = std::max(next_, end);
}

template <typename Out, int Divisor>
void BasicStreamingResampler<Out, Divisor>::push(std::span<const int16_t> block) {
  if (block.empty()) return;
  if (blockStart_ == 0) first_ = block.front();
  interpolateUpTo(blockStart_ + block.size(), block);
  blockStart_ += block.size();
  carry_ = block.back();
}

template <typename Out, int Divisor>
SampleBufferOf<Out> BasicStreamingResampler<Out, Divisor>::finish() {
  const auto length =
      static_cast<size_t>(resampledLength(static_cast<int64_t>(blockStart_), srcRate_, dstRate_));
  if (length == 0) return {};
  if (length != buffer_.size()) buffer_.resize(length);
  buffer_.samples().front() = reduced<Out, Divisor>(first_);
  buffer_.samples().back() = reduced<Out, Divisor>(carry_);
  return std::move(buffer_);
}

template class BasicStreamingResampler<int16_t, 1>;
template class BasicStreamingResampler<int8_t, 256>;

}  // namespace pitchtrack
