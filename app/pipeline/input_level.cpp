#include "input_level.h"

#include <cstdlib>

namespace pitchtrack::pipeline {

bool InputLevel::atFullScale(int16_t sample) const {
  if (nbits_ == 16) return sample >= 32767 || sample <= -32767;
  return sample <= 0 || sample >= 255;
}

void InputLevel::add(std::span<const int16_t> block) {
  const int32_t centre = nbits_ == 16 ? 0 : 128;
  for (const int16_t sample : block) {
    const int32_t distance = std::abs(sample - centre);
    if (distance > peak_) peak_ = distance;
    if (!atFullScale(sample)) {
      run_ = 0;
    } else if (++run_ == kClipRunSamples) {
      clipped_ += kClipRunSamples;
      if (firstClip_ < 0) firstClip_ = samples_ + 1 - kClipRunSamples;
    } else if (run_ > kClipRunSamples) {
      ++clipped_;
    }
    ++samples_;
  }
}

}  // namespace pitchtrack::pipeline
