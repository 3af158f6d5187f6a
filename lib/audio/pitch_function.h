// Per-frame pitch functions: for every frame of a signal, a function of the lag whose extrema
// mark the frame's period.
//
//   pfType 1, average magnitude difference: value(j) = sum |w[i] - w[i+j]| over the first
//             frameSize - frameSize/2 samples; a period shows as a minimum; value(0) = 0.
//   pfType 2, autocorrelation of the frame minus its mean (integer mean, truncated):
//             value(j) = sum w[i]*w[i+j] over frameSize - j pairs; a period shows as a maximum.
//
// Both are raw 32-bit integer sums (wrapping), not normalised.
#pragma once

#include <cstdint>
#include <span>

namespace pitchtrack {

// Reverses `frame` in place when the deviation from its rounded mean is strictly larger in its
// second half (which holds the middle sample of an odd frame) than in its first half, so that
// the livelier half serves as the reference window of the difference function.
void frameFlip(std::span<int32_t> frame);

// The pitch function of one frame (frameSize samples, reordered or centred in place as the
// chosen function needs) into row (frameSize/2 lags): row[j] is the value at lag j.
// An unknown pfType throws pitchtrack::InternalError.
void framePitchFunction(std::span<int32_t> frame, int32_t pfType, std::span<int32_t> row);

}  // namespace pitchtrack
