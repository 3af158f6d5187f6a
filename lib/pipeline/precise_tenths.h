// Frequency in Hz as tenths of a semitone, equal temperament with A4 = 440 Hz = 690, rounded
// to the nearest tenth (442 Hz gives 691); 0 Hz (no pitch) gives 0.
#pragma once

#include <cstdint>

namespace pitchtrack {

int32_t preciseTenths(double hz);

}  // namespace pitchtrack
