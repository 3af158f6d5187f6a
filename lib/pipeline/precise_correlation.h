// The integer kernel of the period search: sums of products of 16-bit samples. Every sum is
// exact, so any vectorisation or summation order gives the same value.
#pragma once

#include <cstdint>

namespace pitchtrack {

// Samples entering preciseDot have at most this magnitude, so that a sum of kMaxDotCount
// products stays within 32 bits.
inline constexpr int32_t kMaxDotMagnitude = 2047;
inline constexpr int32_t kMaxDotCount = 256;
inline constexpr int32_t kDotBlock = 16;

// sum of a[i] * b[i] for i < count; count is a multiple of kDotBlock, at most kMaxDotCount.
// One flat loop of 16-bit products into a 32-bit sum: the shape compilers turn into their packed
// multiply-add (pmaddwd, smlal, i32x4.dot_i16x8); nesting it in fixed blocks made GCC vectorise
// across blocks with shuffles instead.
inline int32_t preciseDot(const int16_t* a, const int16_t* b, int32_t count) {
  int32_t sum = 0;
  for (int32_t i = 0; i < count; ++i) sum += int32_t{a[i]} * int32_t{b[i]};
  return sum;
}

}  // namespace pitchtrack
