// Long recordings stream from the file into the analysis. The streamed path must give exactly
// what the whole-array path gives: the resampler for every way of cutting the source into
// blocks, the pipeline for every rate, and the reader for every format.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <vector>

#include "pipeline/resample.h"
#include "support/mono_reader.h"
#include "support/resample_oracle.h"
#include "support/signals.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"
#include "wave/wave_data.h"

namespace pitchtrack {

// Names the tests of each kernel; it sits beside the enum so that argument-dependent lookup
// finds it.
static void PrintTo(SimdLevel level, std::ostream* os) {
  *os << (level == SimdLevel::kAvx2 ? "Avx2" : "Portable");
}

namespace {

std::vector<int16_t> randomSamples(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> value(-32768, 32767);
  std::vector<int16_t> out(count);
  for (int16_t& v : out) v = static_cast<int16_t>(value(random));
  return out;
}

class StreamingKernel : public testing::TestWithParam<SimdLevel> {
 protected:
  void SetUp() override {
    if (!simdAvailable(GetParam())) GTEST_SKIP() << "no AVX2 here";
  }
};

// Every way of cutting the source into blocks, with the length known in advance or not, gives
// the whole-array resampler's output.
TEST_P(StreamingKernel, ResamplerEqualsTheWholeArrayResampler) {
  for (const int32_t rate : {1000, 4000, 11025, 16000, 44100, 48000, 768000}) {
    for (const size_t length : {1, 2, 3, 100, 4097}) {
      const auto source = randomSamples(length, static_cast<uint32_t>(rate + length));
      const std::vector<int32_t> wide(source.begin(), source.end());
      const std::vector<int32_t> expected = testsignal::resampled(wide, rate, 8000);
      for (const size_t block : {size_t{1}, size_t{7}, size_t{1000}, length}) {
        for (const int64_t announced : {int64_t{0}, static_cast<int64_t>(length)}) {
          StreamingResampler resampler(rate, 8000, announced, GetParam());
          for (size_t start = 0; start < length; start += block) {
            resampler.push(std::span(source).subspan(start, std::min(block, length - start)));
          }
          const SampleBuffer resampled = resampler.finish();
          const auto actual = resampled.samples();
          EXPECT_TRUE(std::equal(actual.begin(), actual.end(), expected.begin(), expected.end()))
              << "rate " << rate << ", length " << length << ", block " << block << ", announced "
              << announced;
        }
      }
    }
  }
}

// Sources long enough that the positions cross many binades of the phase table (each binade of
// the left source index has its own fractions), at rates whose phase counts differ, including
// upsampling, where the first outputs take the division.
TEST_P(StreamingKernel, LongSourcesCrossingBinadesEqualTheWholeArrayResampler) {
  for (const int32_t rate : {1000, 7993, 22050, 44100, 96000}) {
    const size_t length = size_t{1} << 20;
    const auto source = randomSamples(length, static_cast<uint32_t>(rate));
    const std::vector<int32_t> wide(source.begin(), source.end());
    const std::vector<int32_t> expected = testsignal::resampled(wide, rate, 8000);
    StreamingResampler resampler(rate, 8000, 0, GetParam());
    for (size_t start = 0; start < length; start += 65536) {
      resampler.push(std::span(source).subspan(start, 65536));
    }
    const SampleBuffer resampled = resampler.finish();
    const auto actual = resampled.samples();
    EXPECT_TRUE(std::equal(actual.begin(), actual.end(), expected.begin(), expected.end()))
        << "rate " << rate;
  }
}

// The reducing resampler keeps each output of the 16-bit one divided by 256, in 8 bits.
TEST_P(StreamingKernel, ReducingResamplerKeepsTheOutputsReduced) {
  for (const int32_t rate : {1000, 11025, 44100, 48000}) {
    const size_t length = 300007;
    const auto source = randomSamples(length, static_cast<uint32_t>(rate) + 5);
    for (const int64_t announced : {int64_t{0}, static_cast<int64_t>(length)}) {
      StreamingResampler resampler(rate, 8000, announced, GetParam());
      ReducingResampler reducing(rate, 8000, announced, GetParam());
      for (size_t start = 0; start < length; start += 4096) {
        const auto block = std::span(source).subspan(start, std::min<size_t>(4096, length - start));
        resampler.push(block);
        reducing.push(block);
      }
      const SampleBuffer wide = resampler.finish();
      const NarrowSampleBuffer narrow = reducing.finish();
      ASSERT_EQ(narrow.size(), wide.size());
      for (size_t i = 0; i < wide.size(); ++i) {
        ASSERT_EQ(narrow.samples()[i], wide.samples()[i] / 256) << "rate " << rate << ", " << i;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Dispatch, StreamingKernel,
                         testing::Values(SimdLevel::kPortable, SimdLevel::kAvx2));

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
    ASSERT_TRUE(testsupport::loadMono(streamed, path.string(), samples));
    EXPECT_EQ(samples, whole.monoSamples()) << "image " << i;
    EXPECT_EQ(streamed.getSampleRate(), whole.getSampleRate());
    EXPECT_EQ(streamed.getBitsPerSample(), whole.getBitsPerSample());
  }
}

}  // namespace

}  // namespace pitchtrack
