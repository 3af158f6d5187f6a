#include "pipeline/precise_tenths.h"

#include <gtest/gtest.h>

#include <cmath>

#include "pipeline/precise_math.h"

namespace pitchtrack {
namespace {

TEST(PreciseTenths, RoundsToTheNearestTenthOfASemitone) {
  const struct {
    double hz;
    int32_t tenths;
  } cases[] = {
      {440, 690},      {442, 691},    {437.5, 689}, {261.6256, 600}, {65.4064, 360},
      {987.7666, 830}, {1000, 832},   {55, 330},    {0, 0},          {-3, 0},
      {441.27, 690},   {441.28, 691},  // the boundary lies at 440 * 2^(0.5 / 120) = 441.2726 Hz
  };
  for (const auto& c : cases) EXPECT_EQ(preciseTenths(c.hz), c.tenths) << c.hz << " Hz";
}

TEST(PreciseMath, MatchesTheLibraryFunctionsClosely) {
  for (const double x : {-100.0, -3.0, -1.5707963, -0.1, 0.0, 0.3, 1.0, 2.5, 3.14159, 7.0, 1e3}) {
    EXPECT_NEAR(preciseSin(x), std::sin(x), 1e-13) << x;
    EXPECT_NEAR(preciseCos(x), std::cos(x), 1e-13) << x;
  }
  for (const double x : {1e-6, 0.01, 0.5, 1.0, 1.5, 1.999999, 2.0, 3.0, 440.0, 768000.0}) {
    EXPECT_NEAR(preciseLog2(x), std::log2(x), 1e-14 * std::max(1.0, std::abs(std::log2(x)))) << x;
  }
}

}  // namespace
}  // namespace pitchtrack
