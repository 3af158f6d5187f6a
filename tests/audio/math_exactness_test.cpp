// The contour depends on the math library's log and pow only through a finite set of values,
// all at the working rate of 8000 Hz: the pitch of every whole-sample lag (the path search,
// freq2semitone, lagTenthsOfSemitone), and the lag bounds of the pitch ranges (lagRange over
// semitone2freq) of the first pass (whole semitones) and of the second pass (the median of the
// first pass, one lag pitch or the mean of two, plus and minus 12 narrowed to single precision).
// What the contour keeps of them is discrete: the pitch truncated to a whole semitone, its
// comparison with the kept range 34..90, the rounded tenths, the rounded lag bounds.
//
// These tests enumerate every such value and show, against MPFR's correctly rounded log and
// 2^x, that the library computes the pitches and the integers derived from them exactly as if
// its math library rounded correctly, and that each discrete outcome stays the same when every
// log and pow result is off by kUlps units in the last place either way. A math library of
// another processor, compiler or vendor that is accurate to within kUlps therefore gives the
// same contour.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

#include "audio/candidates.h"
#include "audio/frame.h"
#include "audio/pitch_path.h"
#include "audio/pitch_tracker.h"
#include "audio/pt_param.h"

namespace pitchtrack {
namespace {

constexpr int32_t kRate = 8000;  // every recording is analysed at this rate
// Lags of the first pass's range (semitones 30..84); the tracker's 256-sample frames offer
// candidates up to lag 127 of them.
constexpr int32_t kLowestLag = 8;
constexpr int32_t kHighestLag = 173;
constexpr int32_t kHighestFrameLag = 127;
// The pitch range whose values the contour keeps.
constexpr float kLowestKept = 34.0f;
constexpr float kHighestKept = 90.0f;
// The error of log and pow, in units in the last place, that no outcome may feel.
constexpr int kUlps = 64;

// Correctly rounded double-precision log and 2^x.
class CorrectlyRounded {
 public:
  CorrectlyRounded() { mpfr_init2(value_, std::numeric_limits<double>::digits); }
  ~CorrectlyRounded() { mpfr_clear(value_); }
  CorrectlyRounded(const CorrectlyRounded&) = delete;
  CorrectlyRounded& operator=(const CorrectlyRounded&) = delete;

  double log(double x) {
    mpfr_set_d(value_, x, MPFR_RNDN);
    mpfr_log(value_, value_, MPFR_RNDN);
    return mpfr_get_d(value_, MPFR_RNDN);
  }
  double exp2(double x) {
    mpfr_set_d(value_, x, MPFR_RNDN);
    mpfr_exp2(value_, value_, MPFR_RNDN);
    return mpfr_get_d(value_, MPFR_RNDN);
  }

 private:
  mpfr_t value_;
};

// `value` moved by `ulps` units in the last place (toward +infinity when positive).
double offBy(double value, int ulps) {
  const double direction =
      ulps > 0 ? std::numeric_limits<double>::infinity() : -std::numeric_limits<double>::infinity();
  for (int i = 0; i < std::abs(ulps); ++i) value = std::nextafter(value, direction);
  return value;
}

// A math library whose log and pow results are the correctly rounded ones moved by a fixed
// number of ulps: 0 and 0 is a correctly rounding library.
class MathModel {
 public:
  MathModel(int logError, int powError) : logError_(logError), powError_(powError) {}

  double log(double x) const { return offBy(exact().log(x), logError_); }
  double twoTo(double x) const { return offBy(exact().exp2(x), powError_); }

 private:
  static CorrectlyRounded& exact() {
    static CorrectlyRounded instance;
    return instance;
  }

  int logError_;
  int powError_;
};

const MathModel kCorrect(0, 0);

// The analysis's formulas, step for step, over a model of the math library.
double pitchOfFrequency(const MathModel& math, double frequency) {
  return 69 + 17.312340490667445 * math.log(frequency * 0.0022727272727272726);
}

// The pitch the path search writes for a lag: the frequency stays in double precision.
double lagPitch(const MathModel& math, int32_t lag) {
  return pitchOfFrequency(math, static_cast<double>(kRate) / lag);
}

// lagTenthsOfSemitone: the frequency narrowed to single precision, ten times the pitch too.
int32_t lagTenths(const MathModel& math, int32_t lag) {
  const auto frequency = static_cast<float>(static_cast<double>(kRate) / lag);
  return roundToInt(static_cast<float>(10 * pitchOfFrequency(math, frequency)));
}

double frequencyOfPitch(const MathModel& math, float pitch) {
  return 440 * math.twoTo((static_cast<double>(pitch) - 69) * 0.08333333333333333);
}

// One bound of lagRange: the lag of a single-precision pitch. The octave above the pitch of an
// odd lag L (the upper end of the range around a median of one lag pitch) is the half-way lag
// L/2 in exact arithmetic. Such a bound is decided by the single-precision rounding of the pitch
// and of the quotient, which often puts it on x.5 exactly (and rounding half away from zero
// takes over): steps far coarser than the last bits of log and pow.
int32_t boundLag(const MathModel& math, float pitch) {
  return roundToInt(static_cast<float>(static_cast<double>(static_cast<float>(kRate)) /
                                       frequencyOfPitch(math, pitch)));
}

// The pitch range of the second pass around a median, as the pipeline narrows it.
struct PitchBounds {
  float lowest;
  float highest;
};

// The tracker's settings as the pipeline uses them (autocorrelation at the working rate).
PtParam trackerParam() { return kTrackerParam; }

PitchBounds boundsAround(double median) {
  const PtParam ptParam = trackerParam();
  return {static_cast<float>(median - ptParam.pitchRangeWidth * 0.5),
          static_cast<float>(median + ptParam.pitchRangeWidth * 0.5)};
}

std::pair<int32_t, int32_t> lagBounds(const MathModel& math, PitchBounds bounds) {
  return {boundLag(math, bounds.highest), boundLag(math, bounds.lowest)};
}

// Every median the first pass can produce: one lag pitch, or the mean of two.
std::vector<double> everyMedian(const MathModel& math) {
  std::vector<double> pitches;
  for (int32_t lag = kLowestLag; lag <= kHighestLag; ++lag) {
    pitches.push_back(lagPitch(math, lag));
  }
  std::vector<double> medians;
  for (size_t a = 0; a < pitches.size(); ++a) {
    medians.push_back(pitches[a]);
    for (size_t b = a + 1; b < pitches.size(); ++b) {
      medians.push_back((pitches[a] + pitches[b]) / 2);
    }
  }
  return medians;
}

// What the contour keeps of a frame's pitch.
struct KeptPitch {
  int32_t semitone;
  bool belowRange;
  bool aboveRange;
  bool operator==(const KeptPitch&) const = default;
};

KeptPitch keptOf(double pitch) {
  const bool below = pitch < kLowestKept;
  const bool above = pitch > kHighestKept;
  return {truncToInt(pitch), below, above};
}

// The pitch the library's path search writes for a frame whose only candidate is `lag` (in a
// run of two such frames, the shortest it searches), with a pitch range that keeps every lag.
double searchedPitch(int32_t lag) {
  PtParam ptParam = trackerParam();
  ptParam.minPitch = 0.001f;
  ptParam.maxPitch = 200.0f;
  const FrameAnalysis twoFrames{{0, 1, 2}, {lag, lag}, {1000, 1000}};
  std::vector<double> pitch(2);
  trackPitch(twoFrames, ptParam, pitch);
  return pitch[0];
}

int32_t libraryBoundLag(float pitch) {
  PtParam ptParam = trackerParam();
  ptParam.maxPitch = pitch;
  return lagRange(ptParam).minLag;
}

// Every single-precision pitch a lag bound is computed from: whole semitones (the first pass
// uses 30 and 84) and both ends of the second pass's range around every possible median.
std::vector<float> everyBoundPitch() {
  std::vector<float> pitches;
  for (int semitone = 1; semitone <= 127; ++semitone) {
    pitches.push_back(static_cast<float>(semitone));
  }
  for (const double median : everyMedian(kCorrect)) {
    const PitchBounds bounds = boundsAround(median);
    pitches.push_back(bounds.lowest);
    pitches.push_back(bounds.highest);
  }
  return pitches;
}

// Signed distance from `exact` to `value` in units in the last place.
int64_t ulpsFrom(double exact, double value) {
  const auto ordered = [](double x) {
    const auto bits = std::bit_cast<int64_t>(x);
    return bits < 0 ? std::numeric_limits<int64_t>::min() - bits : bits;
  };
  return ordered(value) - ordered(exact);
}

// What the contour takes from the math library bit for bit: the pitch written for each lag
// (truncated into the contour, averaged into the median), and the integers derived from it.
TEST(MathExactness, LagPitchesAreThoseOfACorrectlyRoundedLog) {
  for (int32_t lag = 1; lag <= kHighestLag; ++lag) {
    EXPECT_EQ(searchedPitch(lag), lagPitch(kCorrect, lag)) << "lag " << lag;
  }
  for (int32_t lag = 1; lag <= kHighestFrameLag; ++lag) {
    EXPECT_EQ(lagTenthsOfSemitone(kRate, lag), lagTenths(kCorrect, lag)) << "lag " << lag;
  }
}

TEST(MathExactness, LagBoundsAreThoseOfACorrectlyRoundedPow) {
  for (const float pitch : everyBoundPitch()) {
    ASSERT_EQ(libraryBoundLag(pitch), boundLag(kCorrect, pitch)) << "pitch " << pitch;
  }
}

// The frequencies in between need not be exact: glibc 2.36's pow misses the correctly
// rounded 2^x by one ulp on a few dozen of these arguments, which is why the lag bounds are
// shown to withstand kUlps. That margin holds only while log and pow stay within it.
TEST(MathExactness, LogAndPowStayWithinTheToleratedError) {
  CorrectlyRounded exact;
  for (int32_t lag = 1; lag <= kHighestLag; ++lag) {
    const double ratio = static_cast<double>(kRate) / lag * 0.0022727272727272726;
    const double narrowed =
        static_cast<float>(static_cast<double>(kRate) / lag) * 0.0022727272727272726;
    EXPECT_LE(std::abs(ulpsFrom(exact.log(ratio), std::log(ratio))), kUlps) << "lag " << lag;
    EXPECT_LE(std::abs(ulpsFrom(exact.log(narrowed), std::log(narrowed))), kUlps) << "lag " << lag;
  }
  for (const float pitch : everyBoundPitch()) {
    const double exponent = (static_cast<double>(pitch) - 69) * 0.08333333333333333;
    ASSERT_LE(std::abs(ulpsFrom(exact.exp2(exponent), std::pow(2.0, exponent))), kUlps)
        << "pitch " << pitch;
  }
  // The tracker scales samples by 2^nbits, which must come out exact.
  for (int nbits = 0; nbits <= 32; ++nbits) {
    EXPECT_EQ(std::pow(2.0, nbits), std::ldexp(1.0, nbits)) << "nbits " << nbits;
  }
}

// Log and pow errors, in ulps, at the corners of the tolerated square: every outcome is
// monotonic in both, so the corners bound everything inside.
class SloppyMath : public testing::TestWithParam<std::pair<int, int>> {
 protected:
  MathModel math() const { return MathModel(GetParam().first, GetParam().second); }
};

TEST_P(SloppyMath, KeepsEveryFramePitch) {
  for (int32_t lag = 1; lag <= kHighestFrameLag; ++lag) {
    EXPECT_EQ(keptOf(lagPitch(math(), lag)), keptOf(lagPitch(kCorrect, lag))) << "lag " << lag;
    EXPECT_EQ(lagTenths(math(), lag), lagTenths(kCorrect, lag)) << "lag " << lag;
  }
}

TEST_P(SloppyMath, KeepsTheFirstPassLagRange) {
  for (int semitone = 1; semitone <= 127; ++semitone) {
    const auto pitch = static_cast<float>(semitone);
    EXPECT_EQ(boundLag(math(), pitch), boundLag(kCorrect, pitch)) << "semitone " << semitone;
  }
}

TEST_P(SloppyMath, KeepsTheSecondPassLagRangeOfEveryMedian) {
  const std::vector<double> exact = everyMedian(kCorrect);
  const std::vector<double> sloppy = everyMedian(math());
  ASSERT_EQ(exact.size(), sloppy.size());
  int differing = 0;
  for (size_t i = 0; i < exact.size(); ++i) {
    if (lagBounds(math(), boundsAround(sloppy[i])) != lagBounds(kCorrect, boundsAround(exact[i]))) {
      ADD_FAILURE() << "median " << exact[i] << " moves its lag range";
      if (++differing == 5) return;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(MathExactness, SloppyMath,
                         testing::Values(std::pair{kUlps, kUlps}, std::pair{kUlps, -kUlps},
                                         std::pair{-kUlps, kUlps}, std::pair{-kUlps, -kUlps}));

}  // namespace
}  // namespace pitchtrack
