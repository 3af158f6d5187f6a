// Elementary functions built from + - * / alone, so that every build, compiler and processor
// computes the same bits: the filter design and the Hz-to-tenths conversion of the precise
// analysis must not depend on the math library's rounding.
#pragma once

namespace pitchtrack {

inline constexpr double kPi = 3.14159265358979323846;

// sin(x) for any finite x, to a few units in the last place.
double preciseSin(double x);

// cos(x) for any finite x.
double preciseCos(double x);

// log2(x) for x > 0, to about 1e-15 relative.
double preciseLog2(double x);

}  // namespace pitchtrack
