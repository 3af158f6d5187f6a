// The autocorrelation kernel of the pitch functions, with exact fast paths.
//
// autocorrelate(w, row) sets row[j] = dotProduct(w, w + j, n - j) for every lag j < row.size(),
// the 32-bit wrapping sums of the frame's lagged products. When every sample and the frame
// length are small enough that no partial sum can leave the 32-bit range (the tracker's frames
// of 8-bit-range samples always are), the frame is narrowed to 16 bits and the products are
// summed with 16x16->32-bit multiply-add instructions; the result is bit-identical, since no
// sum wraps. Otherwise the straightforward 32-bit loop runs.
//
// The instruction set is the process's SIMD level (simd.h), chosen at run time, so the default
// build runs on any x86-64 processor and elsewhere.
#pragma once

#include <cstdint>
#include <span>

#include "simd.h"

namespace pitchtrack {

// `level` must be available (simdAvailable); callers pass simdLevel() unless they compare the
// levels.
void autocorrelate(std::span<const int32_t> frame, std::span<int32_t> row,
                   SimdLevel level = simdLevel());

// The autocorrelation of a frame of small 16-bit samples after removing its truncated integer
// mean, as the autocorrelation pitch function computes it: for callers that hold frames in 16
// bits already. Requires every |sample| <= kSmallSampleLimit and at most kSmallFrameLimit
// samples, so that neither the centring nor any sum can overflow.
inline constexpr int32_t kSmallSampleLimit = 512;
inline constexpr size_t kSmallFrameLimit = 1024;
void centredAutocorrelation(std::span<const int16_t> frame, std::span<int32_t> row,
                            SimdLevel level = simdLevel());

}  // namespace pitchtrack
