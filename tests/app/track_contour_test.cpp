// The public library entry (include/pitchtrack/pitchtrack.h) against the pipeline it wraps.
#include <gtest/gtest.h>
#include <pitchtrack/pitchtrack.h>

#include <stdexcept>
#include <vector>

#include "extract_pitch.h"
#include "support/hummed_notes.h"

namespace {

using testsignal::hummedNotes;
using testsignal::semitoneHz;

std::vector<int32_t> pipelineContour(const std::vector<int16_t>& samples, int32_t rate,
                                     int32_t bits) {
  std::vector<int32_t> contour;
  extractPitch(samples, contour, rate, bits);
  return contour;
}

TEST(TrackContour, GivesThePipelinesContourAtEveryRate) {
  for (const int32_t rate : {8000, 11025, 16000, 44100}) {
    const std::vector<int16_t> samples =
        hummedNotes(rate, {semitoneHz(57.5), semitoneHz(62.5)}, 0.4);
    const std::vector<int32_t> contour = pitchtrack::trackContour(samples, rate, 16);
    EXPECT_EQ(contour, pipelineContour(samples, rate, 16)) << rate;
    // Quarter-tone sharp notes truncate to the semitone below: A3 (570) then D4 (620).
    ASSERT_FALSE(contour.empty()) << rate;
    EXPECT_EQ(contour.front(), 570) << rate;
    EXPECT_EQ(contour.back(), 620) << rate;
  }
}

TEST(TrackContour, TakesEightBitSamplesAsUnsignedBytes) {
  std::vector<int16_t> bytes;
  for (const int16_t s : hummedNotes(8000, {semitoneHz(50.5)}, 0.5)) {
    bytes.push_back(static_cast<int16_t>(s / 256 + 128));
  }
  const std::vector<int32_t> contour = pitchtrack::trackContour(bytes, 8000, 8);
  EXPECT_EQ(contour, pipelineContour(bytes, 8000, 8));
  ASSERT_FALSE(contour.empty());
  EXPECT_EQ(contour.front(), 500);
}

TEST(TrackContour, SilenceAndTooShortInputGiveAnEmptyContour) {
  EXPECT_TRUE(pitchtrack::trackContour(std::vector<int16_t>(8000, 0), 8000, 16).empty());
  EXPECT_TRUE(pitchtrack::trackContour(std::vector<int16_t>(300, 1000), 8000, 16).empty());
  EXPECT_TRUE(pitchtrack::trackContour({}, 8000, 16).empty());
}

TEST(TrackContour, RejectsUnsupportedSampleLayouts) {
  const std::vector<int16_t> samples(1000, 0);
  for (const int32_t bits : {0, 1, 12, 24, 32, -16}) {
    EXPECT_THROW(pitchtrack::trackContour(samples, 8000, bits), std::invalid_argument) << bits;
  }
  for (const int32_t rate : {0, -8000, 999, 768001}) {
    EXPECT_THROW(pitchtrack::trackContour(samples, rate, 16), std::invalid_argument) << rate;
  }
  for (const int32_t rate : {pitchtrack::kMinSampleRate, pitchtrack::kMaxSampleRate}) {
    EXPECT_NO_THROW(pitchtrack::trackContour(samples, rate, 16)) << rate;
  }
}

TEST(FormatContour, WritesThePitchFileLine) {
  EXPECT_EQ(pitchtrack::formatContour(std::vector<int32_t>{600, 0, 610}), "600+0+610\n");
  EXPECT_EQ(pitchtrack::formatContour(std::vector<int32_t>{480}), "480\n");
  EXPECT_EQ(pitchtrack::formatContour({}), "\n");
}

}  // namespace
