// Frame arithmetic and pitch units shared by the whole analysis library.
//
// A signal of `length` samples is cut into frames of `frameSize` samples that share `overlap`
// samples with their neighbour; the hop is frameSize - overlap and frame k covers samples
// k*hop .. k*hop + frameSize - 1. Only complete frames exist.
//
// Pitch is in semitones: p = 69 + 12*log2(f / 440), semitone 69 being 440 Hz; 0 means no pitch.
//
// Every function here is pure. The exact arithmetic (single-precision narrowing, rounding half
// away from zero, truncation, 32-bit wrapping) is part of each contract: the contours written by
// the tool depend on it.
#pragma once

#include <cstdint>
#include <span>

namespace pitchtrack {

// Rounds half away from zero: x + 0.5 (or x - 0.5 when x <= 0 or NaN) in double precision,
// truncated to 64 bits, low 32 bits returned. NaN, infinities and magnitudes of 2^63 or more
// give 0; magnitudes between 2^31 and 2^63 wrap modulo 2^32.
int32_t roundToInt(float x);

// Truncation toward zero of a double to a signed 32-bit integer, the other real->integer
// conversion of the library. Values outside the int32 range (and NaN) are clamped (NaN -> 0).
int32_t truncToInt(double x);

// Number of complete frames: (length - overlap) / (frameSize - overlap), truncating toward zero.
// Zero or negative means no frames.
int32_t frameCount(int32_t length, int32_t frameSize, int32_t overlap);

// Centre sample of frame i: i*hop + frameSize/2 - 1.
int32_t frame2sample(int32_t frame, int32_t frameSize, int32_t overlap);

// The frame whose centre lies nearest to sample s (half-way goes to the later frame), never
// below 0 and with no upper bound: roundToInt(float(((s + 1) - frameSize*0.5) / hop)).
int32_t sample2frame(int32_t sample, int32_t frameSize, int32_t overlap);

// The semitone arithmetic's constants, written as the double literals the contours were
// defined with: 12/ln 2, 1/440 and 1/12. Each is the double nearest its exact value, but the
// formulas must multiply by these very literals (not divide by 440, not call log2): another
// spelling of the same mathematics rounds differently in the last bit, and a pitch near a whole
// semitone would then truncate to a different contour value.
inline constexpr double kSemitonesPerNaturalLog = 17.312340490667445;
inline constexpr double kInverseA4Hz = 0.0022727272727272726;
inline constexpr double kInverseSemitonesPerOctave = 0.08333333333333333;

// 69 + 12*log2(f/440) in double precision for f > 0; 0 otherwise (also for NaN).
double freq2semitone(float frequency);

// The same formula for a frequency already in double precision: the pitch the path search
// gives a lag, fs / lag formed in double.
double semitoneOfFrequency(double frequency);

// 440 * 2^((p - 69) * kInverseSemitonesPerOctave) in double precision: the library's one
// semitone-to-frequency formula, for the lag range, the contour's values in Hz and the warnings.
double semitoneToHz(double semitone);

// semitoneToHz(p) for p > 0; 0 otherwise (also for NaN).
double semitone2freq(float semitone);

// Sum of a[i]*b[i] for i < n in 32-bit arithmetic that wraps on overflow; 0 when n <= 0.
// The arrays may overlap.
int32_t dotProduct(const int32_t* a, const int32_t* b, int32_t n);

// Wrapping 32-bit helpers: the library's integer sums are signed 32-bit and wrap like the
// machine does, computed in unsigned arithmetic so that no overflow is undefined.
inline int32_t wrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t wrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t wrapMul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
// |a - b| as a wrapping 32-bit value.
inline int32_t wrapAbsDiff(int32_t a, int32_t b) {
  const uint32_t d = a >= b ? static_cast<uint32_t>(a) - static_cast<uint32_t>(b)
                            : static_cast<uint32_t>(b) - static_cast<uint32_t>(a);
  return static_cast<int32_t>(d);
}

}  // namespace pitchtrack
