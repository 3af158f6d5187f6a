#include "pitch_line.h"

namespace pitchtrack {

std::string formatPitchLine(std::span<const int32_t> contour) {
  std::string line;
  line.reserve(contour.size() * 4 + 1);
  for (size_t i = 0; i < contour.size(); ++i) {
    if (i > 0) line += '+';
    line += std::to_string(contour[i]);
  }
  line += '\n';
  return line;
}

}  // namespace pitchtrack
