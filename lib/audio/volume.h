// Per-frame measures that tell sound from silence: the frame volume and the high-order
// difference. Both walk the frames of the shared layout and write one 32-bit value per frame
// into a caller-sized array (at least frameCount(signal.size(), frameSize, overlap) values).
// Signals in 8 bits (signed or unsigned) give the values of the same samples in 16 bits. Neither
// changes the signal. Callers pass frameSize >= 1 and 0 <= overlap < frameSize. `level` picks the
// vector instructions (simd.h) and must be available; every level gives the same values.
#pragma once

#include <cstdint>
#include <span>

#include "simd.h"

namespace pitchtrack {

// method 1: sum of |x - median|, the median of an even frame the mean of its two middle values,
//           truncated toward zero.
// method 2: sum of (x - mean)^2, the mean an integer quotient truncated toward zero.
// Any other method throws pitchtrack::InternalError ("Unknown volume method=..."), even for a
// signal without frames.
void frameVolume(std::span<const int16_t> signal, int32_t frameSize, int32_t overlap,
                 std::span<int32_t> volume, int32_t method, SimdLevel level = simdLevel());
void frameVolume(std::span<const int8_t> signal, int32_t frameSize, int32_t overlap,
                 std::span<int32_t> volume, int32_t method, SimdLevel level = simdLevel());
void frameVolume(std::span<const uint8_t> signal, int32_t frameSize, int32_t overlap,
                 std::span<int32_t> volume, int32_t method, SimdLevel level = simdLevel());

// Sum over each frame of |d|, d being the order-th difference of consecutive samples inside the
// frame (coefficients of (x - 1)^order with c0 = -1 applied to the earliest sample). Orders 1..5;
// another order throws pitchtrack::InternalError ("Unsupported order!") when there is at least
// one frame.
void highOrderDiff(std::span<const int16_t> signal, int32_t frameSize, int32_t overlap,
                   std::span<int32_t> diff, int32_t order, SimdLevel level = simdLevel());
void highOrderDiff(std::span<const int8_t> signal, int32_t frameSize, int32_t overlap,
                   std::span<int32_t> diff, int32_t order, SimdLevel level = simdLevel());
void highOrderDiff(std::span<const uint8_t> signal, int32_t frameSize, int32_t overlap,
                   std::span<int32_t> diff, int32_t order, SimdLevel level = simdLevel());

// The median of `values` as frameVolume defines it, reordering `values` (a scratch copy). This
// is the selection used for frames of a wide value range; narrow frames are counted instead,
// which gives the same value.
int32_t frameMedian(std::span<int32_t> values);

}  // namespace pitchtrack
