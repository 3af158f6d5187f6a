// The pitch file's line: the contour's values in decimal joined by "+" and ended by a newline.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace pitchtrack {

// "600+0+610\n" for {600, 0, 610}; a single "\n" for an empty contour.
std::string formatPitchLine(std::span<const int32_t> contour);

}  // namespace pitchtrack
