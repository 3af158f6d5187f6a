// The integer kernels of the period search: sums of products of 16-bit samples in 64 bits.
// Every sum is exact, so any vectorisation or summation order gives the same value.
#pragma once

#include <cstdint>

namespace pitchtrack {

// sum of a[i] * b[i] for i < count.
inline int64_t preciseDot(const int16_t* a, const int16_t* b, int32_t count) {
  int64_t sum = 0;
  for (int32_t i = 0; i < count; ++i) sum += int32_t{a[i]} * int32_t{b[i]};
  return sum;
}

}  // namespace pitchtrack
