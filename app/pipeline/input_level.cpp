#include "input_level.h"

#include <algorithm>
#include <cstdlib>

namespace pitchtrack::pipeline {

bool InputLevel::atFullScale(int16_t sample) const {
  if (nbits_ == 16) return sample >= 32767 || sample <= -32767;
  return sample <= 0 || sample >= 255;
}

void InputLevel::add(std::span<const int16_t> block) {
  if (block.empty()) return;
  // The extremes of the block, in one pass the compiler vectorises: they give the peak, and
  // whether any sample reaches full scale at all. Only then are the runs followed sample by
  // sample, so that an ordinary recording costs a fraction of a millisecond per minute.
  int16_t lowest = block[0];
  int16_t highest = block[0];
  for (const int16_t sample : block) {
    lowest = std::min(lowest, sample);
    highest = std::max(highest, sample);
  }
  const int32_t centre = nbits_ == 16 ? 0 : 128;
  peak_ = std::max({peak_, std::abs(highest - centre), std::abs(lowest - centre)});
  if (!atFullScale(lowest) && !atFullScale(highest)) {
    run_ = 0;
    samples_ += static_cast<int64_t>(block.size());
    return;
  }
  for (const int16_t sample : block) followRun(sample);
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
