// Long recordings stream from the file into the analysis. The streamed path must give exactly
// what the whole-array path gives: the resampler for every way of cutting the source into
// blocks, the pipeline for every rate, and the reader for every format.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "extract_pitch.h"
#include "resample.h"
#include "support/signals.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"
#include "wave/wave_data.h"

namespace {

std::vector<int16_t> randomSamples(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> value(-32768, 32767);
  std::vector<int16_t> out(count);
  for (int16_t& v : out) v = static_cast<int16_t>(value(random));
  return out;
}

// Delivers `samples` in blocks of at most `blockLimit`, as a file reader would.
SampleReader readerOf(std::span<const int16_t> samples, size_t blockLimit, size_t& position) {
  return [samples, blockLimit, &position](std::span<int16_t> block) {
    const size_t count = std::min({block.size(), blockLimit, samples.size() - position});
    std::copy_n(samples.begin() + static_cast<ptrdiff_t>(position), count, block.begin());
    position += count;
    return count;
  };
}

class StreamingKernel : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam() && !resample_kernel::avx2Available()) GTEST_SKIP() << "no AVX2 here";
    resample_kernel::useAvx2(GetParam());
  }
  void TearDown() override { resample_kernel::useAvx2(true); }
};

TEST_P(StreamingKernel, ResamplerEqualsTheWholeArrayResampler) {
  for (const int32_t rate : {1000, 4000, 11025, 16000, 44100, 48000, 768000}) {
    for (const size_t length : {1, 2, 3, 100, 4097}) {
      const auto source = randomSamples(length, static_cast<uint32_t>(rate + length));
      const std::vector<int32_t> wide(source.begin(), source.end());
      std::vector<int32_t> expected(
          static_cast<size_t>(resampledLength(static_cast<int32_t>(length), rate, 8000)));
      resampleLinear(wide, rate, 8000, expected);
      for (const size_t block : {size_t{1}, size_t{7}, size_t{1000}, length}) {
        StreamingResampler resampler(static_cast<int32_t>(length), rate, 8000);
        for (size_t start = 0; start < length; start += block) {
          resampler.push(std::span(source).subspan(start, std::min(block, length - start)));
        }
        const SampleBuffer resampled = resampler.finish();
        const auto actual = resampled.samples();
        EXPECT_TRUE(std::equal(actual.begin(), actual.end(), expected.begin(), expected.end()))
            << "rate " << rate << ", length " << length << ", block " << block;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Dispatch, StreamingKernel, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Avx2" : "Portable");
                         });

TEST(Streaming, PipelineGivesTheContourOfTheWholeArray) {
  const auto tone = testsignal::toInt16(testsignal::harmonicTone(22050, 196, 9000, 30000));
  const std::vector<int16_t> quiet(6000, 0);
  std::vector<int16_t> samples = quiet;
  samples.insert(samples.end(), tone.begin(), tone.end());
  samples.insert(samples.end(), quiet.begin(), quiet.end());
  for (const int32_t rate : {8000, 22050}) {
    std::vector<int32_t> expected;
    testing::internal::CaptureStdout();
    extractPitch(samples, expected, rate, 16);
    const std::string expectedOutput = testing::internal::GetCapturedStdout();
    ASSERT_FALSE(expected.empty());

    size_t position = 0;
    std::vector<int32_t> actual;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(extractPitch(samples.size(), readerOf(samples, 4000, position), actual, rate, 16));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expectedOutput);
    EXPECT_EQ(actual, expected) << "rate " << rate;
  }
}

TEST(Streaming, ReaderThatEndsEarlyIsReportedAsFailure) {
  const auto samples = randomSamples(5000, 1);
  size_t position = 0;
  std::vector<int32_t> contour{1};
  testing::internal::CaptureStdout();
  EXPECT_FALSE(
      extractPitch(samples.size() + 10, readerOf(samples, 512, position), contour, 16000, 16));
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(contour.empty());
}

TEST(Streaming, MonoReadsEqualTheLoadedSamples) {
  testsupport::TempDir work;
  const auto left = randomSamples(70001, 2);
  std::vector<int16_t> stereo;
  for (const int16_t v : left) {
    stereo.push_back(v);
    stereo.push_back(static_cast<int16_t>(-v / 3));
  }
  const std::vector<testwav::Bytes> images = {
      testwav::pcmWave(left, 8000), testwav::pcmWave(stereo, 44100, 2),
      testwav::muLawWave(testwav::Bytes(70001, 0x35), 8000)};
  for (size_t i = 0; i < images.size(); ++i) {
    const auto path = work.path("in" + std::to_string(i) + ".wav");
    testwav::writeFile(path, images[i]);
    WaveData whole(1, 8000, 8);
    ASSERT_TRUE(whole.load(path.string()));
    WaveData streamed(1, 8000, 8);
    std::vector<int16_t> samples;
    ASSERT_TRUE(streamed.loadMono(path.string(), samples));
    EXPECT_EQ(samples, whole.monoSamples()) << "image " << i;
    EXPECT_EQ(streamed.getSampleRate(), whole.getSampleRate());
    EXPECT_EQ(streamed.getBitsPerSample(), whole.getBitsPerSample());
  }
}

}  // namespace
