// The fixed figures of the analysis that callers and the library's own parts share: the frame
// length of a contour value and the sample rates the library accepts. Compiles as C++17 and
// later.
#pragma once

#include <cstdint>

namespace pitchtrack {

// Every contour value covers this many milliseconds of the recording.
inline constexpr int32_t kFrameMilliseconds = 32;

// The sample rates the library accepts, in Hz.
inline constexpr int32_t kMinSampleRate = 1000;
inline constexpr int32_t kMaxSampleRate = 768000;

// Whether the library accepts a recording of `sampleRate` Hz: the one check of the reader, the
// tracking entries and the language bindings.
constexpr bool sampleRateSupported(int64_t sampleRate) {
  return sampleRate >= kMinSampleRate && sampleRate <= kMaxSampleRate;
}

}  // namespace pitchtrack
