#include "precise_trim.h"

namespace pitchtrack {

PreciseContour trimUnpitched(std::span<const PreciseFrame> frames) {
  size_t first = 0;
  while (first < frames.size() && frames[first].tenths == 0) ++first;
  size_t end = frames.size();
  while (end > first && frames[end - 1].tenths == 0) --end;
  return {{frames.begin() + static_cast<std::ptrdiff_t>(first),
           frames.begin() + static_cast<std::ptrdiff_t>(end)},
          static_cast<int64_t>(first)};
}

}  // namespace pitchtrack
