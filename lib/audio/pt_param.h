// PtParam: every setting of the pitch tracker, and kTrackerParam, the one place its tuned values
// live.
//
// The library analyses one format only, the working signal: 8000 Hz in the 8-bit range, with
// the autocorrelation pitch function over 32 ms frames (256 samples, no overlap), the pitch
// range 30..84 semitones and path-search weights tuned for that rate and function. The second
// pass narrows the range to pitchRangeWidth semitones around the median voiced pitch.
//
// pfType: 1 = average magnitude difference (a period is a minimum), 2 = autocorrelation (a
// period is a maximum). Other values are rejected by the operations that read them.
#pragma once

#include <cstdint>

namespace pitchtrack {

// The pitch functions a tracker can use: the values of PtParam::pfType.
enum PitchFunctionType : int32_t {
  kMagnitudeDifference = 1,  // average magnitude difference: a period is a minimum
  kAutocorrelation = 2,      // autocorrelation: a period is a maximum
};

struct PtParam {
  int32_t fs = 0;                // sample rate in Hz
  int32_t nbits = 0;             // bit depth the tracker scales the signal to
  int32_t frameSize = 0;         // frame length in samples
  int32_t overlap = 0;           // samples shared by consecutive frames
  float minPitch = 0;            // lowest allowed pitch (semitones): the largest lag
  float maxPitch = 0;            // highest allowed pitch (semitones): the smallest lag
  int32_t pfType = 0;            // 1 = magnitude difference, 2 = autocorrelation
  int32_t transitionWeight = 0;  // weight of the pitch-jump penalty of the path search
  int32_t localWeight = 0;       // weight of a candidate's pitch-function value
  int32_t distType = 0;          // jump measure: 1 = lag difference, 2 = tenths of a semitone
  int32_t distPower = 0;         // 1 = |jump|, otherwise jump squared
  int32_t extremaOnly = 0;       // 1 = candidates are local extrema, otherwise every lag
  float pitchRangeWidth = 0;     // semitones of the second pass's range around the median
};

// The tracker's settings for the working signal.
inline constexpr PtParam kTrackerParam{
    .fs = 8000,
    .nbits = 8,
    .frameSize = 256,
    .overlap = 0,
    .minPitch = 30.0f,
    .maxPitch = 84.0f,
    .pfType = kAutocorrelation,
    .transitionWeight = 200,
    .localWeight = 1,
    .distType = 1,
    .distPower = 1,
    .extremaOnly = 1,
    .pitchRangeWidth = 24.0f,
};

}  // namespace pitchtrack
