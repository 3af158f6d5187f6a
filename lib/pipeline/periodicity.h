// The strict voicing test: is a frame periodic, and loud enough to carry a pitch?
//
// Within the frame the samples are centred on their mean (in integers: d[n] = N x[n] - sum x).
// The frame is periodic when, for some lag t of kMinLag..kMaxLag samples (1000 Hz down to 46 Hz
// at 8000 Hz, the first pass's range) past the first lag where r falls to zero or below (the
// end of the main lobe, which low-pass noise such as brown noise stretches over many lags), the
// normalised autocorrelation
//   r(t) / sqrt(e0(t) e1(t)),  r(t) = sum d[n] d[n + t],  e0, e1 the energies of both parts,
// is positive and at least kPeriodicityPercent / 100. The test compares
// 10000 r^2 >= kPeriodicityPercent^2 e0 e1 in 128-bit integers, so no rounding can move it.
// A frame whose mean square (in the 8-bit range) is below kFaintMeanSquare is never periodic.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pitchtrack::pipeline {

inline constexpr int32_t kMinLag = 8;
inline constexpr int32_t kMaxLag = 173;
inline constexpr int32_t kPeriodicityPercent = 50;
inline constexpr int32_t kFaintMeanSquare = 1;

// Whether one frame of the working signal passes the test.
bool periodicFrame(std::span<const int16_t> frame);

// 1 for every frame (frameSize samples, a new one every `hop`) that passes, else 0.
std::vector<uint8_t> periodicFrames(std::span<const int16_t> signal, int32_t frameSize, int32_t hop,
                                    int32_t frames);

}  // namespace pitchtrack::pipeline
