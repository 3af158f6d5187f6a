// The time grid of the precise analysis: a working signal at 8000 Hz and one frame every 256
// working samples (32 ms). Frame k covers working samples [256k, 256k + 256) and its value
// stands for the pitch at the frame's centre, sample 256k + 128.
#pragma once

#include <cstdint>

namespace pitchtrack {

inline constexpr int32_t kPreciseWorkingRate = 8000;
inline constexpr int32_t kPreciseHop = 256;

}  // namespace pitchtrack
