#include "audio/pt_param.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace pitchtrack {

namespace {

// setPtParam with its progress lines collected, each ended by a newline; nothing may reach
// standard output.
std::string setCapturing(PtParam& p, int32_t fs, int32_t nbits, int32_t pfType) {
  std::string lines;
  testing::internal::CaptureStdout();
  setPtParam(p, fs, nbits, pfType, [&lines](const std::string& line) { lines += line + "\n"; });
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  return lines;
}

struct WeightsCase {
  int32_t fs, pfType;
  int32_t transitionWeight, localWeight, distType, distPower, extremaOnly;
};

void PrintTo(const WeightsCase& c, std::ostream* os) { *os << "fs" << c.fs << "_pf" << c.pfType; }

class PtParamWeightsTest : public testing::TestWithParam<WeightsCase> {};

TEST_P(PtParamWeightsTest, PicksThePathWeightsForRateAndPitchFunction) {
  const WeightsCase& c = GetParam();
  PtParam p;
  setCapturing(p, c.fs, 8, c.pfType);
  EXPECT_EQ(p.pfType, c.pfType);
  EXPECT_EQ(p.transitionWeight, c.transitionWeight);
  EXPECT_EQ(p.localWeight, c.localWeight);
  EXPECT_EQ(p.distType, c.distType);
  EXPECT_EQ(p.distPower, c.distPower);
  EXPECT_EQ(p.extremaOnly, c.extremaOnly);
}

INSTANTIATE_TEST_SUITE_P(
    PtParam, PtParamWeightsTest,
    testing::Values(WeightsCase{8000, 2, 200, 1, 1, 1, 1}, WeightsCase{8000, 1, 540, 40, 1, 2, 0},
                    WeightsCase{8000, 7, 1, 1, 1, 2, 0}, WeightsCase{16000, 1, 11000, 1, 1, 2, 0},
                    WeightsCase{16000, 2, 11000, 1, 1, 2, 0}, WeightsCase{11025, 2, 1, 1, 1, 2, 0},
                    WeightsCase{44100, 1, 1, 1, 1, 2, 0}));

struct LayoutCase {
  int32_t fs, frameSize, overlap;
  const char* warning;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
  *os << "fs" << c.fs << "->frame" << c.frameSize << "_overlap" << c.overlap
      << (*c.warning == '\0' ? "" : "_warns");
}

class PtParamLayoutTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(PtParamLayoutTest, LaysOutFramesAndWarnsAboutShortOnes) {
  const LayoutCase& c = GetParam();
  PtParam p;
  EXPECT_EQ(setCapturing(p, c.fs, 16, 2), c.warning);
  EXPECT_EQ(p.fs, c.fs);
  EXPECT_EQ(p.frameSize, c.frameSize);
  EXPECT_EQ(p.overlap, c.overlap);
}

INSTANTIATE_TEST_SUITE_P(
    PtParam, PtParamLayoutTest,
    testing::Values(LayoutCase{8000, 256, 0, ""}, LayoutCase{16000, 640, 480, ""},
                    LayoutCase{48000, 1536, 0, ""},
                    // fs * 256 / 8000 is truncated, which makes the frame a little short.
                    LayoutCase{11025, 352, 0,
                               "Warning: frameSize too small! (frameSize=352, "
                               "frameDuration=31.9274 ms < minFrameDuration=32 ms\n"},
                    LayoutCase{44100, 1411, 0,
                               "Warning: frameSize too small! (frameSize=1411, "
                               "frameDuration=31.9955 ms < minFrameDuration=32 ms\n"},
                    // Exactly 32 ms is long enough.
                    LayoutCase{12000, 384, 0, ""}, LayoutCase{32000, 1024, 0, ""}));

TEST(PtParam, SetsTheSharedPitchRangeWhateverWasThereBefore) {
  PtParam p;
  setCapturing(p, 16000, 16, 1);
  EXPECT_EQ(p.auxLevel, 1280.0f);
  setCapturing(p, 8000, 8, 2);
  EXPECT_EQ(p.nbits, 8);
  EXPECT_EQ(p.minPitch, 30.0f);
  EXPECT_EQ(p.maxPitch, 84.0f);
  EXPECT_EQ(p.pitchRangeWidth, 24.0f);
  EXPECT_EQ(p.auxLevel, 5.0f);
}

}  // namespace

}  // namespace pitchtrack
