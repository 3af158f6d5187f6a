// Linear-interpolation resampling without any filter.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sample_buffer.h"

// Fills dst (its size is the target length, chosen by the caller) from src: dst[0] = src[0],
// the last output sample is the last input sample, and every inner output i takes the value at
// position t = i * srcRate / dstRate interpolated between src[floor(t)] and src[floor(t) + 1],
// rounded half away from zero through single precision. Samples at integral positions are
// copied exactly. Does nothing when either array is empty; never reads past src.
void resampleLinear(std::span<const int32_t> src, int32_t srcRate, int32_t dstRate,
                    std::span<int32_t> dst);

// The target length for a rate change: floor((srcLength - 1) * dstRate / srcRate) + 1, in
// double precision; 0 for an empty source.
int32_t resampledLength(int32_t srcLength, int32_t srcRate, int32_t dstRate);

// resampleLinear for a source that arrives block by block: the same output values, written to
// 16-bit samples (linear interpolation never leaves the range of its two neighbours, so 16-bit
// input gives 16-bit output). Construct with the whole source length, push() every block in
// order, then finish().
class StreamingResampler {
 public:
  StreamingResampler(int32_t srcLength, int32_t srcRate, int32_t dstRate);

  void push(std::span<const int16_t> block);
  // The resampled signal (resampledLength values); the resampler is spent afterwards.
  SampleBuffer finish();

 private:
  void interpolateUpTo(size_t available, std::span<const int16_t> block);
  int32_t at(size_t index, std::span<const int16_t> block) const;
  size_t leftSourceOf(size_t output) const;

  size_t srcLength_;
  int32_t srcRate_;
  int32_t dstRate_;
  SampleBuffer buffer_;
  std::span<int16_t> dst_;
  size_t next_ = 1;        // next inner output to compute
  size_t blockStart_ = 0;  // source index of the current block's first sample
  int16_t carry_ = 0;      // the source sample just before the current block
};

// The streaming resampler's inner loop runs on AVX2 when the processor has it; tests force
// either path.
namespace resample_kernel {
bool avx2Available();
void useAvx2(bool avx2);
}  // namespace resample_kernel
