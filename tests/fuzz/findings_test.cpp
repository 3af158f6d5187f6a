// Inputs the fuzz targets (fuzz/) turned up, replayed through the normal test executable.
//
// Data chunks shorter than one sample frame: the fuzzer found 1-byte data chunks of 32-bit
// float, plain and extensible, which the reader accepts (only an empty data chunk is refused)
// as a signal of no samples. Both the in-memory and the streaming reads must agree on that,
// and the tool must write an empty contour rather than fail or read past the chunk.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/mono_reader.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"
#include "wave/wave_data.h"

namespace pitchtrack {

namespace {

using testwav::Bytes;
using testwav::Format;

struct ShortData {
  const char* what;
  Format format;
  Bytes data;
  Bytes trailing;  // bytes after the data chunk (the fuzzer's inputs went on past it)
};

std::vector<ShortData> shortDataCases() {
  const Format float32 = Format().withTag(testwav::kTagFloat).withBits(32);
  return {
      {"1 byte of 32-bit float", float32, Bytes{0}, Bytes(300, 0xFF)},
      {"1 byte of extensible 32-bit float", Format().withSubFormat(testwav::kTagFloat).withBits(32),
       Bytes{0}, Bytes(256, 0)},
      {"2 bytes of 24-bit PCM", Format().withBits(24), Bytes{1, 2}, {}},
      {"3 bytes of 16-bit stereo", Format().withChannels(2), Bytes{1, 2, 3}, {}},
      {"7 bytes of 64-bit float",
       Format().withTag(testwav::kTagFloat).withBits(64),
       Bytes(7, 0x40),
       {}},
  };
}

Bytes imageOf(const ShortData& c) {
  Bytes body = testwav::chunk("fmt ", testwav::fmtPayload(c.format));
  testwav::appendChunk(body, "data", c.data);
  testwav::appendBytes(body, c.trailing);
  return testwav::riffWave(body);
}

TEST(FuzzFindings, DataShorterThanOneFrameIsAnEmptySignal) {
  for (const ShortData& c : shortDataCases()) {
    SCOPED_TRACE(c.what);
    testsupport::TempDir dir;
    const std::string path = dir.path("short.wav").string();
    testwav::writeFile(path, imageOf(c));

    WaveData loaded(1, 8000, 8);
    ASSERT_TRUE(loaded.load(path)) << loaded.lastError();
    EXPECT_TRUE(loaded.monoSamples().empty());

    WaveData streamed(1, 8000, 8);
    ASSERT_TRUE(streamed.openMono(path)) << streamed.lastError();
    EXPECT_EQ(streamed.monoLength(), 0u);
    std::vector<int16_t> block(16, 7);
    EXPECT_EQ(streamed.readMono(block), 0u);
    EXPECT_FALSE(streamed.readFailed());
    std::vector<int16_t> samples{1, 2, 3};
    EXPECT_TRUE(testsupport::loadMono(streamed, path, samples));
    EXPECT_TRUE(samples.empty());
  }
}

TEST(FuzzFindings, ToolWritesAnEmptyContourForDataShorterThanOneFrame) {
  for (const ShortData& c : shortDataCases()) {
    SCOPED_TRACE(c.what);
    testsupport::TempDir work;
    testwav::writeFile(work.path("short.wav"), imageOf(c));
    const auto run = testsupport::runTool(work.root(), "short.wav short.pitch");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output,
              "nbits=16 ===> Convert from nbits=16 to 8!\nWriting pitch to short.pitch\n");
    EXPECT_EQ(testsupport::readFile(work.path("short.pitch")), "\n");
  }
}

}  // namespace

}  // namespace pitchtrack
