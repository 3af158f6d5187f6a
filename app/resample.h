// Linear-interpolation resampling without any filter.
#pragma once

#include <cstdint>
#include <span>

// Fills dst (its size is the target length, chosen by the caller) from src: dst[0] = src[0],
// the last output sample is the last input sample, and every inner output i takes the value at
// position t = i * srcRate / dstRate interpolated between src[floor(t)] and src[floor(t) + 1],
// rounded half away from zero through single precision. Samples at integral positions are
// copied exactly. Does nothing when either array is empty; never reads past src.
void resampleLinear(std::span<const int32_t> src, int32_t srcRate, int32_t dstRate,
                    std::span<int32_t> dst);

// The same interpolation straight from 16-bit samples, without a 32-bit copy of the source.
void resampleLinear(std::span<const int16_t> src, int32_t srcRate, int32_t dstRate,
                    std::span<int32_t> dst);

// The target length for a rate change: floor((srcLength - 1) * dstRate / srcRate) + 1, in
// double precision; 0 for an empty source.
int32_t resampledLength(int32_t srcLength, int32_t srcRate, int32_t dstRate);
