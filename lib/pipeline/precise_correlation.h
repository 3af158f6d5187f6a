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
// The fixed inner block lets compilers use their packed multiply-add at any optimisation level.
inline int32_t preciseDot(const int16_t* a, const int16_t* b, int32_t count) {
  int32_t sum = 0;
  for (int32_t i = 0; i < count; i += kDotBlock) {
    int32_t block = 0;
    for (int32_t j = 0; j < kDotBlock; ++j) block += int32_t{a[i + j]} * int32_t{b[i + j]};
    sum += block;
  }
  return sum;
}

}  // namespace pitchtrack
