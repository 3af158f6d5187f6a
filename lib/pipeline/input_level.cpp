#include "input_level.h"

#include <algorithm>
#include <cstdlib>

namespace pitchtrack::pipeline {

bool InputLevel::atFullScale(int16_t sample) const {
  if (nbits_ == 16) return sample >= 32767 || sample <= -32767;
  return sample <= 0 || sample >= 255;
}

void InputLevel::add(std::span<const int16_t> block) {
  // The extremes of each stretch, in loops the compiler vectorises, give the peak and tell
  // whether any sample of the stretch reaches full scale. Only such stretches are followed
  // sample by sample for runs of clipping, so that even a loud recording costs a few
  // milliseconds per hour.
  constexpr size_t kStretch = 256;
  const int32_t centre = nbits_ == 16 ? 0 : 128;
  for (size_t start = 0; start < block.size(); start += kStretch) {
    const auto stretch = block.subspan(start, std::min(kStretch, block.size() - start));
    int16_t lowest = stretch[0];
    int16_t highest = stretch[0];
    for (const int16_t sample : stretch) {
      lowest = std::min(lowest, sample);
      highest = std::max(highest, sample);
    }
    peak_ = std::max({peak_, std::abs(highest - centre), std::abs(lowest - centre)});
    if (!atFullScale(lowest) && !atFullScale(highest)) {
      run_ = 0;
      samples_ += static_cast<int64_t>(stretch.size());
      continue;
    }
    for (const int16_t sample : stretch) followRun(sample);
  }
}

void InputLevel::followRun(int16_t sample) {
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

}  // namespace pitchtrack::pipeline
