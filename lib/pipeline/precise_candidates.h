// The period candidates of one frame: lags (in working samples, fractional) where the
// periodicity of the working signal peaks, with the peak's strength.
//
// A coarse pass evaluates every lag of the pitch range on every other working sample (4000 Hz,
// a 32 ms window); each local maximum that rises clearly above the lowest periodicity at the
// shorter lags becomes a candidate. Requiring that dip keeps strongly low-frequency signals
// (brown noise, rumble), whose periodicity falls slowly from 1 without a peak, from giving
// candidates. The strongest coarse peaks are then refined at the working rate (a 32 ms window
// of 8000 Hz samples) by climbing to the nearest maximum and interpolating between lags.
#pragma once

#include <array>
#include <cstdint>

#include "precise_periodicity.h"

namespace pitchtrack {

inline constexpr int32_t kPreciseMaxCandidates = 12;
// Shortest and longest period searched, in working samples (1333 Hz and 54 Hz).
inline constexpr int32_t kPreciseMinLag = 6;
inline constexpr int32_t kPreciseMaxLag = 148;
// Samples read on each side of a frame's centre.
inline constexpr int32_t kPreciseReach = 206;

struct PreciseCandidates {
  std::array<PrecisePeak, kPreciseMaxCandidates> peaks{};
  int32_t count = 0;
  double meanSquare = 0;        // level of the frame's 32 ms window
  double centreMeanSquare = 0;  // level of its central 16 ms
};

// Candidates of the frame centred at `centre`; samples within kPreciseReach of it must be
// readable. Frames quieter than `minMeanSquare` get none, without a search.
PreciseCandidates findPreciseCandidates(const int16_t* centre, double minMeanSquare);

}  // namespace pitchtrack
