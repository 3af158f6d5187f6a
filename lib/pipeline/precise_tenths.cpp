#include "precise_tenths.h"

#include "precise_math.h"

namespace pitchtrack {

int32_t preciseTenths(double hz) {
  if (!(hz > 0)) return 0;
  const double tenths = 690 + 120 * preciseLog2(hz / 440);
  const auto rounded = static_cast<int32_t>(tenths < 0 ? tenths - 0.5 : tenths + 0.5);
  return rounded < 1 ? 0 : rounded;
}

}  // namespace pitchtrack
