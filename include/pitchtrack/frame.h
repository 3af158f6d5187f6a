// One frame of the precise analysis, handed out as soon as it is final, for callers that follow
// a recording while it is made. Part of pitchtrack.h; compiles as C++17 and later.
#pragma once

#include <cstdint>
#include <functional>

#include "pitchtrack/limits.h"

namespace pitchtrack {

// Frame `index` covers index * 32 ms .. (index + 1) * 32 ms of the recording. Its fields are
// those the contour holds for it: Contour::values, hz and confidence at index - firstFrame.
struct Frame {
  int64_t index = 0;
  int32_t value = 0;      // tenths of a semitone, rounded; 0 = no pitch
  double hz = 0;          // the measured fundamental frequency; 0 = no pitch
  double confidence = 0;  // 0..1; 0 where the frame has no pitch

  double startSeconds() const { return static_cast<double>(index) * kFrameMilliseconds / 1000.0; }
};

// Receives the frames of one analysis in order, from index 0 on, each once.
using FrameSink = std::function<void(const Frame& frame)>;

}  // namespace pitchtrack
