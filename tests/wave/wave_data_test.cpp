#include "wave/wave_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/wav_image.h"

namespace {

using testwav::Bytes;
using testwav::Format;

constexpr const char* kOpenError = "File open error.";
constexpr const char* kChunkError = "File chunk read error.";
constexpr const char* kDataError = "File data read error.";
constexpr const char* kMismatch = "Wave format mismatch.";

// Loads image from a file of its own; the file is gone again when this returns.
bool loadImage(WaveData& wave, const Bytes& image) {
  testsupport::TempDir dir;
  testwav::writeFile(dir.path("sound.wav"), image);
  return wave.load(dir.path("sound.wav").string());
}

std::vector<int32_t> allSamples(const WaveData& wave) {
  std::vector<int32_t> samples(static_cast<size_t>(wave.getSampleCount()));
  samples.resize(static_cast<size_t>(wave.readSamples(samples, wave.getSampleCount())));
  return samples;
}

// The samples of a successfully loaded image; fails the test when the load fails.
std::vector<int32_t> loadedSamples(const Bytes& image) {
  WaveData wave(1, 8000, 8);
  EXPECT_TRUE(loadImage(wave, image)) << wave.lastError();
  return allSamples(wave);
}

Bytes fmtChunk(const Format& format) { return testwav::chunk("fmt ", testwav::fmtPayload(format)); }

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

const Bytes kFourSamples = {1, 0, 2, 0, 3, 0, 4, 0};

}  // namespace

TEST(WaveData, ErrorTextsFollowTheNumberedTable) {
  const std::vector<std::string> texts = {"No error.",
                                          kMismatch,
                                          "Device required in use.",
                                          "MMTIME required time format not supported.",
                                          kOpenError,
                                          "File close error.",
                                          kChunkError,
                                          kDataError,
                                          "File chunk write error.",
                                          "File data write error."};
  for (uint32_t code = 0; code < texts.size(); ++code) {
    EXPECT_EQ(WaveData::errorText(code), texts[code]) << code;
  }
  EXPECT_STREQ(WaveData::errorText(10), "Unspecified error.");
  EXPECT_STREQ(WaveData::errorText(0xFFFFFFFF), "Unspecified error.");
}

TEST(WaveData, CreateSetsAPcmLayoutAndDropsTheData) {
  WaveData wave(2, 44100, 16);
  EXPECT_EQ(wave.getChannels(), 2);
  EXPECT_EQ(wave.getSampleRate(), 44100);
  EXPECT_EQ(wave.getBitsPerSample(), 16U);
  EXPECT_EQ(wave.getBlockAlign(), 4);
  EXPECT_EQ(wave.getFormatTag(), 1);
  EXPECT_EQ(wave.getDataBytes(), 0);
  EXPECT_EQ(wave.lastError(), "");

  ASSERT_TRUE(loadImage(wave, testwav::pcm8Wave(Bytes{1, 2, 3}, 11025)));
  EXPECT_TRUE(wave.release());
  EXPECT_EQ(wave.getDataBytes(), 0);
  EXPECT_EQ(wave.getSampleRate(), 11025);

  ASSERT_TRUE(loadImage(wave, testwav::pcm8Wave(Bytes{1, 2, 3})));
  EXPECT_TRUE(wave.create(0x10003, 22050, 0x10008));  // only the low 16 bits are kept
  EXPECT_EQ(wave.getChannels(), 3);
  EXPECT_EQ(wave.getBitsPerSample(), 8U);
  EXPECT_EQ(wave.getBlockAlign(), 3);
  EXPECT_EQ(wave.getDataBytes(), 0);
}

TEST(WaveData, FileThatCannotBeOpenedIsAnOpenError) {
  testsupport::TempDir dir;
  WaveData wave(1, 8000, 8);
  EXPECT_FALSE(wave.load(dir.path("missing.wav").string()));
  EXPECT_EQ(wave.lastError(), kOpenError);
  WaveData other(1, 8000, 8);
  EXPECT_FALSE(other.load(dir.root().string()));
  EXPECT_EQ(other.lastError(), kOpenError);
}

TEST(WaveData, DamagedStructureFailsWithItsErrorText) {
  const Bytes fmt = fmtChunk(Format().withBits(16));
  const Bytes data = testwav::chunk("data", kFourSamples);
  struct Case {
    const char* what;
    Bytes image;
    const char* error;
  };
  Bytes text;
  testwav::appendText(text, "This is a plain text file, not a recording.\n");
  // A declared size of 0xFFFFFFFF (plus pad) brought back into 32 bits points at the chunk's own
  // payload; only 64-bit offsets see that it runs past the end of the file.
  const Bytes runaway = testwav::chunk("LIST", concat({fmt, data}), 0xFFFFFFFF);
  const std::vector<Case> cases = {
      {"empty file", {}, kChunkError},
      {"text file", text, kChunkError},
      {"RIFF of another form type",
       concat({{'R', 'I', 'F', 'F', 44, 0, 0, 0, 'A', 'V', 'I', ' '}, fmt, data}), kChunkError},
      {"no fmt chunk", testwav::riffWave(data), kChunkError},
      {"fmt chunk of 2 bytes",
       testwav::riffWave(concat({testwav::chunk("fmt ", Bytes{1, 0}), data})), kChunkError},
      {"fmt chunk cut by the end of the file",
       testwav::riffWave(testwav::chunk("fmt ", Bytes(10, 1), 16)), kChunkError},
      {"chunk past the end before fmt", testwav::riffWave(runaway), kChunkError},
      {"no data chunk", testwav::riffWave(fmt), kChunkError},
      {"data before fmt", testwav::riffWave(concat({data, fmt})), kChunkError},
      {"chunk past the end before data",
       testwav::riffWave(concat({fmt, testwav::chunk("JUNK", data, 0xFFFFFFFF)})), kChunkError},
      {"empty data chunk", testwav::riffWave(concat({fmt, testwav::chunk("data", Bytes{})})),
       kDataError},
      {"data cut short",
       testwav::riffWave(concat({fmt, testwav::chunk("data", kFourSamples, 100)})), kDataError},
      {"data size 0xFFFFFFFF",
       testwav::riffWave(concat({fmt, testwav::chunk("data", kFourSamples, 0xFFFFFFFF)})),
       kDataError},
  };
  for (const Case& c : cases) {
    WaveData wave(1, 8000, 8);
    EXPECT_FALSE(loadImage(wave, c.image)) << c.what;
    EXPECT_EQ(wave.lastError(), c.error) << c.what;
    EXPECT_EQ(wave.getDataBytes(), 0) << c.what;
  }
}

TEST(WaveData, UnsupportedFormatsAreAMismatch) {
  const std::vector<Format> formats = {
      Format().withChannels(0),
      Format().withRate(0),
      Format().withRate(999),
      Format().withRate(768001),
      Format().withRate(0x80000000),
      Format().withBits(0),
      Format().withBits(4),
      Format().withBits(12),
      Format().withBits(20),
      Format().withBits(64),
      Format().withTag(testwav::kTagFloat).withBits(16),
      Format().withTag(testwav::kTagFloat).withBits(24),
      Format().withTag(testwav::kTagMuLaw).withChannels(0).withBits(8),
      Format().withTag(0),
      Format().withTag(2).withBits(4),
      Format().withBits(16).withSubFormat(2),
      Format().withBits(16).withSubFormat(testwav::kTagExtensible),
      Format().withBits(16).withSubFormat(testwav::kTagFloat),
  };
  for (const Format& format : formats) {
    WaveData wave(1, 8000, 8);
    EXPECT_FALSE(loadImage(wave, testwav::wave(format, kFourSamples)))
        << "tag " << format.tag << " channels " << format.channels << " rate " << format.rate
        << " bits " << format.bits << " sub-format " << format.subFormatTag;
    EXPECT_EQ(wave.lastError(), kMismatch);
  }
}

TEST(WaveData, SampleRateLimitsAreInclusive) {
  for (const uint32_t rate : {1000U, 768000U}) {
    WaveData wave(1, 8000, 8);
    EXPECT_TRUE(loadImage(wave, testwav::wave(Format().withRate(rate), kFourSamples))) << rate;
    EXPECT_EQ(wave.getSampleRate(), static_cast<int32_t>(rate));
  }
}

TEST(WaveData, LastErrorIsReplacedByEachFaultAndKeptBySuccess) {
  WaveData wave(1, 8000, 8);
  EXPECT_FALSE(wave.load("/nonexistent/directory/sound.wav"));
  EXPECT_EQ(wave.lastError(), kOpenError);
  EXPECT_FALSE(loadImage(wave, testwav::wave(Format().withChannels(0), kFourSamples)));
  EXPECT_EQ(wave.lastError(), kMismatch);
  EXPECT_TRUE(loadImage(wave, testwav::wave(Format(), kFourSamples)));
  EXPECT_EQ(wave.lastError(), kMismatch);
}

TEST(WaveData, EightBitSamplesAreUnsignedBytes) {
  WaveData wave(1, 8000, 16);
  ASSERT_TRUE(loadImage(wave, testwav::pcm8Wave(Bytes{0, 127, 128, 255, 7}, 22050)));
  EXPECT_EQ(wave.getBitsPerSample(), 8U);
  EXPECT_EQ(wave.getSampleRate(), 22050);
  EXPECT_EQ(wave.getSampleCount(), 5);
  EXPECT_EQ(allSamples(wave), (std::vector<int32_t>{0, 127, 128, 255, 7}));
}

TEST(WaveData, SixteenBitSamplesAreSignedAndInterleavedLeftFirst) {
  const std::vector<int16_t> mono = {0, 1, -1, 32767, -32768, 0x1234};
  EXPECT_EQ(loadedSamples(testwav::pcmWave(mono)), std::vector<int32_t>(mono.begin(), mono.end()));

  WaveData wave(1, 8000, 8);
  const std::vector<int16_t> stereo = {100, -100, 200, -200};
  ASSERT_TRUE(loadImage(wave, testwav::pcmWave(stereo, 44100, 2)));
  EXPECT_EQ(wave.getChannels(), 2);
  EXPECT_EQ(wave.getBlockAlign(), 4);
  EXPECT_EQ(wave.getDataBytes(), 8);
  EXPECT_EQ(allSamples(wave), (std::vector<int32_t>{100, -100, 200, -200}));
}

TEST(WaveData, OddTrailingByteIsNotASample) {
  // An odd "data" chunk as the last chunk, without the pad byte the end of the file would hold.
  Bytes body = fmtChunk(Format().withBits(16));
  testwav::appendText(body, "data");
  testwav::appendU32(body, 5);
  testwav::appendBytes(body, Bytes{0x10, 0x00, 0xFF, 0xFF, 0x7F});
  WaveData wave(1, 8000, 8);
  ASSERT_TRUE(loadImage(wave, testwav::riffWave(body)));
  EXPECT_EQ(wave.getDataBytes(), 5);
  EXPECT_EQ(wave.getSampleCount(), 2);
  EXPECT_EQ(allSamples(wave), (std::vector<int32_t>{16, -1}));
}

TEST(WaveData, ReadSamplesStopsAtCountDestinationAndData) {
  WaveData wave(1, 8000, 8);
  ASSERT_TRUE(loadImage(wave, testwav::pcmWave(std::vector<int16_t>{5, 6, 7, 8})));
  std::vector<int32_t> big(6, -99);
  EXPECT_EQ(wave.readSamples(big, 100), 4);
  EXPECT_EQ(big, (std::vector<int32_t>{5, 6, 7, 8, -99, -99}));
  std::vector<int32_t> small(2, -99);
  EXPECT_EQ(wave.readSamples(small, 4), 2);
  EXPECT_EQ(small, (std::vector<int32_t>{5, 6}));
  std::vector<int32_t> untouched(3, -99);
  EXPECT_EQ(wave.readSamples(untouched, 1), 1);
  EXPECT_EQ(wave.readSamples(untouched, 0), 0);
  EXPECT_EQ(wave.readSamples(untouched, -5), -5);
  EXPECT_EQ(untouched, (std::vector<int32_t>{5, -99, -99}));

  WaveData unreadable(1, 8000, 24);
  EXPECT_EQ(unreadable.readSamples(big, 6), 0);
  EXPECT_TRUE(unreadable.monoSamples().empty());
}

TEST(WaveData, ExpandsMuLawToSixteenBits) {
  const Bytes codes = {0xFF, 0x7F, 0x80, 0x00, 0xFE, 0x7E, 0xEF};
  WaveData wave(1, 8000, 8);
  ASSERT_TRUE(loadImage(wave, testwav::muLawWave(codes, 8000, 1)));
  EXPECT_EQ(wave.getFormatTag(), 1);
  EXPECT_EQ(wave.getBitsPerSample(), 16U);
  EXPECT_EQ(allSamples(wave), (std::vector<int32_t>{0, 0, 32124, -32124, 8, -8, 132}));

  // One sample per byte even when the header claims another sample size.
  const Format claimsSixteen = Format().withTag(testwav::kTagMuLaw).withChannels(2).withBits(16);
  ASSERT_TRUE(loadImage(wave, testwav::wave(claimsSixteen, Bytes{0xFF, 0x80, 0x00, 0xFE})));
  EXPECT_EQ(wave.getBlockAlign(), 4);
  EXPECT_EQ(allSamples(wave), (std::vector<int32_t>{0, 32124, -32124, 8}));
}

TEST(WaveData, ExpandsALawToSixteenBits) {
  EXPECT_EQ(loadedSamples(testwav::aLawWave(Bytes{0xD5, 0x55, 0xAA, 0x2A, 0xD4, 0xC5})),
            (std::vector<int32_t>{8, -8, 32256, -32256, 24, 264}));
}

TEST(WaveData, G711CodesAreOddSymmetricAndMonotonic) {
  Bytes everyCode(256);
  for (size_t code = 0; code < everyCode.size(); ++code) {
    everyCode[code] = static_cast<uint8_t>(code);
  }
  struct Law {
    const char* name;
    Bytes image;
    uint8_t (*positiveCode)(int rank);  // the positive codes by rising magnitude
  };
  const Law laws[] = {
      {"mu-law", testwav::muLawWave(everyCode),
       [](int rank) { return static_cast<uint8_t>(0xFF - rank); }},
      {"A-law", testwav::aLawWave(everyCode),
       [](int rank) { return static_cast<uint8_t>((rank ^ 0x55) | 0x80); }},
  };
  for (const Law& law : laws) {
    const std::vector<int32_t> linear = loadedSamples(law.image);
    ASSERT_EQ(linear.size(), 256U) << law.name;
    for (size_t code = 0; code < 128; ++code) {
      EXPECT_EQ(linear[code], -linear[code | 0x80]) << law.name << " code " << code;
    }
    for (int rank = 1; rank < 128; ++rank) {
      EXPECT_GT(linear[law.positiveCode(rank)], linear[law.positiveCode(rank - 1)])
          << law.name << " rank " << rank;
    }
  }
}

TEST(WaveData, WideIntegerPcmKeepsTheTopSixteenBits) {
  const std::vector<int32_t> wide24 = {0x7FFFFF, -0x800000, 0x100,  0xFF,
                                       -1,       -0x100,    -0x101, 0x123456};
  EXPECT_EQ(loadedSamples(testwav::pcm24Wave(wide24)),
            (std::vector<int32_t>{32767, -32768, 1, 0, -1, -1, -2, 0x1234}));
  const std::vector<int32_t> wide32 = {
      0x7FFFFFFF, std::numeric_limits<int32_t>::min(), 0x10000, 0xFFFF, -1, -0x10001, 0x12345678};
  EXPECT_EQ(loadedSamples(testwav::pcm32Wave(wide32)),
            (std::vector<int32_t>{32767, -32768, 1, 0, -1, -2, 0x1234}));

  // Stereo 24-bit with two stray bytes: the layout becomes 16-bit, the partial sample is dropped.
  Bytes data = {0x00, 0x00, 0x01, 0x00, 0x00, 0xFF, 0xAA, 0xBB};
  WaveData wave(1, 8000, 8);
  ASSERT_TRUE(
      loadImage(wave, testwav::wave(Format().withChannels(2).withRate(48000).withBits(24), data)));
  EXPECT_EQ(wave.getBitsPerSample(), 16U);
  EXPECT_EQ(wave.getBlockAlign(), 4);
  EXPECT_EQ(wave.getChannels(), 2);
  EXPECT_EQ(allSamples(wave), (std::vector<int32_t>{0x0100, -256}));
}

TEST(WaveData, FloatSamplesAreScaledRoundedAndClamped) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<double> values = {
      0.5,          -0.5,        1.0,          -1.0,         2.0, -3.0, 0.5 / 32768,
      -0.5 / 32768, 1.5 / 32768, -1.5 / 32768, 0.49 / 32768, nan, inf,  -inf};
  const std::vector<int32_t> expected = {16384, -16384, 32767, -32768, 32767, -32768, 1,
                                         -1,    2,      -2,    0,      0,     32767,  -32768};
  EXPECT_EQ(loadedSamples(testwav::floatWave(values, 32)), expected);
  EXPECT_EQ(loadedSamples(testwav::floatWave(values, 64)), expected);
  // Precision a 32-bit float cannot carry: halves round away from zero, not to even.
  EXPECT_EQ(loadedSamples(testwav::floatWave(
                std::vector<double>{2.5 / 32768, -2.5 / 32768, 32766.5 / 32768, 1e300}, 64)),
            (std::vector<int32_t>{3, -3, 32767, 32767}));
}

TEST(WaveData, ExtensibleFormatsUseTheirSubFormatTag) {
  const Format pcm = Format().withBits(16).withSubFormat(testwav::kTagPcm);
  EXPECT_EQ(loadedSamples(testwav::wave(pcm, Bytes{0x34, 0x12, 0xFE, 0xFF})),
            (std::vector<int32_t>{0x1234, -2}));

  Bytes floats;
  testwav::appendU32(floats, std::bit_cast<uint32_t>(0.25F));
  const Format ieee = Format().withBits(32).withSubFormat(testwav::kTagFloat);
  EXPECT_EQ(loadedSamples(testwav::wave(ieee, floats)), (std::vector<int32_t>{8192}));

  const Format muLaw = Format().withBits(8).withSubFormat(testwav::kTagMuLaw);
  WaveData wave(1, 8000, 8);
  ASSERT_TRUE(loadImage(wave, testwav::wave(muLaw, Bytes{0x80, 0xFE})));
  EXPECT_EQ(wave.getFormatTag(), 1);
  EXPECT_EQ(allSamples(wave), (std::vector<int32_t>{32124, 8}));
}

TEST(WaveData, StepsOverOddSizedChunksAndTheirPadBytes) {
  const Bytes body =
      concat({testwav::chunk("LIST", Bytes{'a', 'b', 'c'}), fmtChunk(Format().withBits(8)),
              testwav::chunk("junk", Bytes{1, 2, 3, 4, 5}), testwav::chunk("data", Bytes{9, 8, 7}),
              testwav::chunk("LIST", Bytes{6})});
  const Bytes leadingJunk = testwav::chunk("JUNK", Bytes{0x52});
  EXPECT_EQ(loadedSamples(concat({leadingJunk, testwav::riffWave(body)})),
            (std::vector<int32_t>{9, 8, 7}));
}

TEST(WaveData, LongFormatChunksUseTheirFirstEighteenBytes) {
  const Format longPcm = Format().withChannels(2).withBits(16).withExtra(Bytes(22, 0xEE));
  ASSERT_EQ(testwav::fmtPayload(longPcm).size(), 40U);
  WaveData wave(1, 8000, 8);
  ASSERT_TRUE(loadImage(wave, testwav::wave(longPcm, kFourSamples)));
  EXPECT_EQ(wave.getChannels(), 2);
  EXPECT_EQ(allSamples(wave), (std::vector<int32_t>{1, 2, 3, 4}));
}

TEST(WaveData, ChunkSearchRunsToTheEndOfTheFileWhateverTheRiffSize) {
  const Bytes body = concat({testwav::chunk("LIST", Bytes(6, 0)), fmtChunk(Format().withBits(16)),
                             testwav::chunk("data", kFourSamples)});
  for (const uint32_t riffSize : {0U, 4U, 20U, 0xFFFFFFFFU}) {
    EXPECT_EQ(loadedSamples(testwav::riffWave(body, riffSize)), (std::vector<int32_t>{1, 2, 3, 4}))
        << "RIFF size " << riffSize;
  }
}

TEST(WaveData, ReadsTheFirstWaveFormAndItsFirstChunks) {
  const Bytes otherForm = concat({{'R', 'I', 'F', 'F', 5, 0, 0, 0, 'A', 'V', 'I', ' ', 0x33, 0}});
  const Bytes first = testwav::riffWave(
      concat({fmtChunk(Format().withBits(8)), testwav::chunk("data", Bytes{1, 2}),
              fmtChunk(Format().withBits(16)), testwav::chunk("data", Bytes{3, 4})}));
  const Bytes second = testwav::pcm8Wave(Bytes{5, 6, 7});
  EXPECT_EQ(loadedSamples(concat({otherForm, first, second})), (std::vector<int32_t>{1, 2}));
}

TEST(WaveData, MonoSamplesAverageEachFrameTowardZero) {
  struct Case {
    const char* what;
    Bytes image;
    std::vector<int16_t> mono;
  };
  const std::vector<Case> cases = {
      {"16-bit mono", testwav::pcmWave(std::vector<int16_t>{5, -7, 32767}), {5, -7, 32767}},
      {"8-bit mono", testwav::pcm8Wave(Bytes{0, 200, 255}), {0, 200, 255}},
      {"16-bit stereo with a partial frame",
       testwav::pcmWave(std::vector<int16_t>{-3, 0, 3, 0, -1, -2, 32767, 32767, -32768, -32768, 1},
                        8000, 2),
       {-1, 1, -1, 32767, -32768}},
      {"8-bit stereo", testwav::pcm8Wave(Bytes{0, 255, 1, 2, 254, 255}, 8000, 2), {127, 1, 254}},
      {"16-bit three channels",
       testwav::pcmWave(std::vector<int16_t>{1, 2, 4, -1, -1, -2, 30000, 30000, 30000, 7, 7}, 8000,
                        3),
       {2, -1, 30000}},
  };
  for (const Case& c : cases) {
    WaveData wave(1, 8000, 8);
    ASSERT_TRUE(loadImage(wave, c.image)) << c.what;
    EXPECT_EQ(wave.monoSamples(), c.mono) << c.what;
  }
}

// The walk over many chunks is timed by the hostile-file benchmark, not here; this guards that
// every chunk is skipped by its header and the data after them is still found.
TEST(WaveData, WalksAMillionSmallChunks) {
  constexpr size_t kChunks = 1000000;
  Bytes body;
  body.reserve(kChunks * 8 + 64);
  for (size_t i = 0; i < kChunks; ++i) testwav::appendChunk(body, "junk", Bytes{});
  const Bytes tail = concat({fmtChunk(Format().withBits(8)), testwav::chunk("data", Bytes{42})});
  body.insert(body.end(), tail.begin(), tail.end());
  const Bytes image = testwav::riffWave(body);
  EXPECT_EQ(loadedSamples(image), (std::vector<int32_t>{42}));
}
