// The warnings of one analysis: what it did to the recording that its user may not expect, when
// in the recording, and which option would change the result. Each function returns the
// warning, or nothing when there is nothing to say.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "input_level.h"
#include "pitchtrack/options.h"
#include "voicing.h"

namespace pitchtrack::pipeline {

// A peak below this (of 32768) leaves the 8-bit reduction at most 3 steps either side of zero.
inline constexpr int32_t kQuietPeak = 1024;

// Most of the first pass lies outside the final range when more than this share of its voiced
// frames (in percent) do.
inline constexpr int32_t kOutsideRangePercent = 50;

// The peak in tenths of a dB below full scale, rounded: 20 log10(peak / fullScale). No peak
// from 1 to 32768 lies within rounding reach of a half tenth, so the value is the same
// everywhere. Peak 0 gives INT32_MIN.
int32_t peakTenthsOfDb(int32_t peak, int32_t fullScale);

std::optional<Warning> clippingWarning(const InputLevel& level);

// Only for 16-bit recordings that are not normalised (8-bit ones lose nothing).
std::optional<Warning> quietWarning(const InputLevel& level, bool normalize);

Warning finalStretchWarning(const DroppedStretch& dropped);

// `firstPass` is the voiced first-pass pitch per tracker frame (0 = none), `lowest` and
// `highest` the final range in semitones, `frameSeconds` the hop of a tracker frame.
std::optional<Warning> outsideRangeWarning(std::span<const double> firstPass, float lowest,
                                           float highest, double frameSeconds);

// For an empty contour: a warning unless the recording is silent (every sample at the centre).
std::optional<Warning> emptyContourWarning(const InputLevel& level, bool normalize,
                                           bool finalDropped);

}  // namespace pitchtrack::pipeline
