#include "precise_math.h"

#include <cstdint>

namespace pitchtrack {

namespace {

// Taylor series of sin on [-pi/2, pi/2], Horner form with a fixed term count.
double sinNearZero(double x) {
  const double x2 = x * x;
  double term = 1.0;
  for (int k = 21; k >= 3; k -= 2) term = 1.0 - x2 / (k * (k - 1)) * term;
  return x * term;
}

}  // namespace

double preciseSin(double x) {
  const double turns = x / (2 * kPi);
  const auto whole = static_cast<int64_t>(turns < 0 ? turns - 0.5 : turns + 0.5);
  double r = x - static_cast<double>(whole) * (2 * kPi);  // in [-pi, pi]
  if (r > kPi / 2) r = kPi - r;
  if (r < -kPi / 2) r = -kPi - r;
  return sinNearZero(r);
}

double preciseCos(double x) { return preciseSin(x + kPi / 2); }

double preciseLog2(double x) {
  // x = m * 2^e with m in [1, 2); exact scaling by powers of two.
  int exponent = 0;
  while (x >= 2) {
    x /= 2;
    ++exponent;
  }
  while (x < 1) {
    x *= 2;
    --exponent;
  }
  // ln m = 2 atanh(z), z = (m - 1) / (m + 1) in [0, 1/3).
  const double z = (x - 1) / (x + 1);
  const double z2 = z * z;
  double series = 0;
  for (int k = 41; k >= 1; k -= 2) series = 1.0 / k + z2 * series;
  constexpr double kLn2 = 0.69314718055994530942;
  return exponent + 2 * z * series / kLn2;
}

}  // namespace pitchtrack
