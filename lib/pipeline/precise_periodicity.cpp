#include "precise_periodicity.h"

#include "precise_correlation.h"

namespace pitchtrack {

double precisePeriodicity(const int16_t* centre, int32_t lag, int32_t width) {
  const int16_t* a = centre + stretchStart(lag, width);
  const int16_t* b = a + lag;
  const int64_t cross = preciseDot(a, b, width);
  const int64_t energy = preciseDot(a, a, width) + preciseDot(b, b, width);
  if (energy == 0) return 0;
  return 2.0 * static_cast<double>(cross) / static_cast<double>(energy);
}

PrecisePeak interpolatePeak(int32_t lag, double before, double at, double after) {
  const double curvature = before - 2 * at + after;
  if (curvature >= 0) return {static_cast<double>(lag), at};
  double offset = 0.5 * (before - after) / curvature;
  if (offset > 0.5) offset = 0.5;
  if (offset < -0.5) offset = -0.5;
  return {lag + offset, at - 0.25 * (before - after) * offset};
}

}  // namespace pitchtrack
