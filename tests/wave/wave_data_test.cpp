#include "wave/wave_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "pitchtrack/pitchtrack.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"

namespace pitchtrack {

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

std::vector<int32_t> loadedSamples(const Bytes& image) {
  WaveData wave(1, 8000, 8);
  EXPECT_TRUE(loadImage(wave, image)) << wave.lastError();
  return allSamples(wave);
}

// "tag/channels/rate/bits/blockAlign" of the loaded layout.
std::string layoutOf(const WaveData& w) {
  return std::to_string(w.getFormatTag()) + "/" + std::to_string(w.getChannels()) + "/" +
         std::to_string(w.getSampleRate()) + "/" + std::to_string(w.getBitsPerSample()) + "/" +
         std::to_string(w.getBlockAlign());
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
  const std::vector<std::pair<uint32_t, std::string>> texts = {{0, "No error."},
                                                               {1, kMismatch},
                                                               {4, kOpenError},
                                                               {6, kChunkError},
                                                               {7, kDataError},
                                                               {10, "Unspecified error."},
                                                               {0xFFFFFFFF, "Unspecified error."}};
  for (const auto& [code, text] : texts) EXPECT_EQ(WaveData::errorText(code), text) << code;
}

TEST(WaveData, CreateSetsAPcmLayoutAndDropsTheData) {
  WaveData wave(2, 44100, 16);
  EXPECT_EQ(layoutOf(wave), "1/2/44100/16/4");
  EXPECT_EQ(wave.getDataBytes(), 0);
  EXPECT_EQ(wave.lastError(), "");

  ASSERT_TRUE(loadImage(wave, testwav::pcm8Wave(Bytes{1, 2, 3}, 11025)));
  EXPECT_TRUE(wave.release());
  EXPECT_EQ(wave.getDataBytes(), 0);
  EXPECT_EQ(wave.getSampleRate(), 11025);

  ASSERT_TRUE(loadImage(wave, testwav::pcm8Wave(Bytes{1, 2, 3})));
  EXPECT_TRUE(wave.create(0x10003, 22050, 0x10008));  // only the low 16 bits are kept
  EXPECT_EQ(layoutOf(wave), "1/3/22050/8/3");
  EXPECT_EQ(wave.getDataBytes(), 0);
}

TEST(WaveData, LastErrorIsReplacedByEachFaultAndKeptBySuccess) {
  testsupport::TempDir dir;
  WaveData wave(1, 8000, 8);
  EXPECT_FALSE(wave.load(dir.path("missing.wav").string()));
  EXPECT_EQ(wave.lastError(), kOpenError);
  EXPECT_FALSE(loadImage(wave, testwav::wave(Format().withChannels(0), kFourSamples)));
  EXPECT_EQ(wave.lastError(), kMismatch);
  EXPECT_FALSE(wave.load(dir.root().string()));  // a directory
  EXPECT_EQ(wave.lastError(), kOpenError);
  EXPECT_FALSE(loadImage(wave, testwav::wave(Format().withChannels(0), kFourSamples)));
  EXPECT_TRUE(loadImage(wave, testwav::wave(Format(), kFourSamples)));
  EXPECT_EQ(wave.lastError(), kMismatch);
}

TEST(WaveData, DamagedOrUnsupportedFilesFailWithTheirErrorText) {
  const Bytes fmt = fmtChunk(Format().withBits(16));
  const Bytes data = testwav::chunk("data", kFourSamples);
  struct Case {
    std::string what;
    Bytes image;
    const char* error;
  };
  Bytes text;
  testwav::appendText(text, "This is a plain text file, not a recording.\n");
  // A declared size of 0xFFFFFFFF (plus pad) brought back into 32 bits points at the chunk's own
  // payload; only 64-bit offsets see that it runs past the end of the file.
  const Bytes runaway = testwav::chunk("LIST", concat({fmt, data}), 0xFFFFFFFF);
  std::vector<Case> cases = {
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
      {"data size 0x7FFFFFFF cut short",
       testwav::riffWave(concat({fmt, testwav::chunk("data", kFourSamples, 0x7FFFFFFF)})),
       kDataError},
  };
  const Format floatTag = Format().withTag(testwav::kTagFloat);
  for (const Format& f : {
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
           Format(floatTag).withBits(16),
           Format(floatTag).withBits(24),
           Format().withTag(testwav::kTagMuLaw).withChannels(0).withBits(8),
           Format().withTag(0),
           Format().withTag(2).withBits(4),
           Format().withSubFormat(2),
           Format().withSubFormat(testwav::kTagExtensible),
           Format().withSubFormat(testwav::kTagFloat),
       }) {
    cases.push_back({"tag " + std::to_string(f.tag) + " sub " + std::to_string(f.subFormatTag) +
                         " channels " + std::to_string(f.channels) + " rate " +
                         std::to_string(f.rate) + " bits " + std::to_string(f.bits),
                     testwav::wave(f, kFourSamples), kMismatch});
  }
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    WaveData wave(1, 8000, 8);
    EXPECT_FALSE(loadImage(wave, c.image)) << c.what;
    EXPECT_EQ(wave.lastError(), c.error) << c.what;
    EXPECT_EQ(wave.getDataBytes(), 0) << c.what;
    // The library's entry refuses the same file with the same code, a reason, and goes on.
    testwav::writeFile(dir.path("sound.wav"), c.image);
    try {
      trackFile(dir.path("sound.wav").string());
      ADD_FAILURE() << c.what << " was tracked";
    } catch (const WaveError& error) {
      EXPECT_STREQ(error.codeText(), c.error) << c.what;
      EXPECT_FALSE(error.reason().empty()) << c.what;
    }
  }
}

TEST(WaveData, DecodesEveryEncodingAndLayout) {
  struct Case {
    const char* what;
    Bytes image;
    std::vector<int32_t> samples;
    std::string layout;  // as layoutOf gives it; "" to leave unchecked
    int32_t dataBytes = -1;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<double> floats = {
      0.5,          -0.5,        1.0,          -1.0,         2.0, -3.0, 0.5 / 32768,
      -0.5 / 32768, 1.5 / 32768, -1.5 / 32768, 0.49 / 32768, nan, inf,  -inf};
  const std::vector<int32_t> floatsScaled = {16384, -16384, 32767, -32768, 32767, -32768, 1,
                                             -1,    2,      -2,    0,      0,     32767,  -32768};
  Bytes oddData = fmtChunk(Format());  // an odd last chunk without its pad byte
  testwav::appendText(oddData, "data");
  testwav::appendU32(oddData, 5);
  testwav::appendBytes(oddData, Bytes{0x10, 0x00, 0xFF, 0xFF, 0x7F});
  Bytes quarter;
  testwav::appendU32(quarter, std::bit_cast<uint32_t>(0.25F));
  const Bytes padded =
      concat({testwav::chunk("LIST", Bytes{'a', 'b', 'c'}), fmtChunk(Format().withBits(8)),
              testwav::chunk("junk", Bytes{1, 2, 3, 4, 5}), testwav::chunk("data", Bytes{9, 8, 7}),
              testwav::chunk("LIST", Bytes{6})});
  const Bytes listFirst = concat({testwav::chunk("LIST", Bytes(6, 0)), fmtChunk(Format()),
                                  testwav::chunk("data", kFourSamples)});
  Bytes million;
  million.reserve(8000064);
  for (size_t i = 0; i < 1000000; ++i) testwav::appendChunk(million, "junk", Bytes{});
  testwav::appendBytes(million,
                       concat({fmtChunk(Format().withBits(8)), testwav::chunk("data", Bytes{42})}));
  const Format muLaw16 = Format().withTag(testwav::kTagMuLaw).withChannels(2).withBits(16);
  const std::vector<Case> cases = {
      {"8-bit unsigned",
       testwav::pcm8Wave(Bytes{0, 127, 128, 255, 7}, 22050),
       {0, 127, 128, 255, 7},
       "1/1/22050/8/1"},
      {"16-bit mono",
       testwav::pcmWave(std::vector<int16_t>{0, 1, -1, 32767, -32768, 0x1234}),
       {0, 1, -1, 32767, -32768, 0x1234},
       "1/1/8000/16/2"},
      {"16-bit stereo, left first",
       testwav::pcmWave(std::vector<int16_t>{100, -100, 200, -200}, 44100, 2),
       {100, -100, 200, -200},
       "1/2/44100/16/4",
       8},
      {"odd trailing byte", testwav::riffWave(oddData), {16, -1}, "", 5},
      {"mu-law",
       testwav::muLawWave(Bytes{0xFF, 0x7F, 0x80, 0x00, 0xFE, 0x7E, 0xEF}),
       {0, 0, 32124, -32124, 8, -8, 132},
       "1/1/8000/16/2"},
      {"mu-law claiming 16 bits",
       testwav::wave(muLaw16, Bytes{0xFF, 0x80, 0x00, 0xFE}),
       {0, 32124, -32124, 8},
       "1/2/8000/16/4"},
      {"A-law",
       testwav::aLawWave(Bytes{0xD5, 0x55, 0xAA, 0x2A, 0xD4, 0xC5}),
       {8, -8, 32256, -32256, 24, 264},
       ""},
      {"24-bit keeps the top 16 bits",
       testwav::pcm24Wave(
           std::vector<int32_t>{0x7FFFFF, -0x800000, 0x100, 0xFF, -1, -0x100, -0x101, 0x123456}),
       {32767, -32768, 1, 0, -1, -1, -2, 0x1234},
       "1/1/8000/16/2"},
      {"32-bit keeps the top 16 bits",
       testwav::pcm32Wave(std::vector<int32_t>{0x7FFFFFFF, std::numeric_limits<int32_t>::min(),
                                               0x10000, 0xFFFF, -1, -0x10001, 0x12345678}),
       {32767, -32768, 1, 0, -1, -2, 0x1234},
       ""},
      {"24-bit stereo with two stray bytes",
       testwav::wave(Format().withChannels(2).withRate(48000).withBits(24),
                     Bytes{0x00, 0x00, 0x01, 0x00, 0x00, 0xFF, 0xAA, 0xBB}),
       {0x0100, -256},
       "1/2/48000/16/4"},
      {"32-bit float", testwav::floatWave(floats, 32), floatsScaled, ""},
      {"64-bit float", testwav::floatWave(floats, 64), floatsScaled, ""},
      // Precision a 32-bit float cannot carry: halves round away from zero, not to even.
      {"64-bit float halves",
       testwav::floatWave(std::vector<double>{2.5 / 32768, -2.5 / 32768, 32766.5 / 32768, 1e300},
                          64),
       {3, -3, 32767, 32767},
       ""},
      {"extensible PCM",
       testwav::wave(Format().withSubFormat(testwav::kTagPcm), Bytes{0x34, 0x12, 0xFE, 0xFF}),
       {0x1234, -2},
       ""},
      {"extensible float",
       testwav::wave(Format().withBits(32).withSubFormat(testwav::kTagFloat), quarter),
       {8192},
       ""},
      {"extensible mu-law",
       testwav::wave(Format().withBits(8).withSubFormat(testwav::kTagMuLaw), Bytes{0x80, 0xFE}),
       {32124, 8},
       "1/1/8000/16/2"},
      {"odd chunks with pad bytes",
       concat({testwav::chunk("JUNK", Bytes{0x52}), testwav::riffWave(padded)}),
       {9, 8, 7},
       ""},
      {"fmt chunk of 40 bytes",
       testwav::wave(Format().withChannels(2).withExtra(Bytes(22, 0xEE)), kFourSamples),
       {1, 2, 3, 4},
       "1/2/8000/16/4"},
      {"RIFF size 0", testwav::riffWave(listFirst, 0), {1, 2, 3, 4}, ""},
      {"RIFF size 4", testwav::riffWave(listFirst, 4), {1, 2, 3, 4}, ""},
      {"RIFF size 20", testwav::riffWave(listFirst, 20), {1, 2, 3, 4}, ""},
      {"RIFF size 0xFFFFFFFF", testwav::riffWave(listFirst, 0xFFFFFFFF), {1, 2, 3, 4}, ""},
      // Recorders writing to a pipe leave a placeholder data size: the data runs to the end.
      {"data size placeholder 0xFFFFFFFF",
       testwav::riffWave(
           concat({fmtChunk(Format()), testwav::chunk("data", kFourSamples, 0xFFFFFFFF)})),
       {1, 2, 3, 4},
       ""},
      {"data size placeholder 0x7FFFF000",
       testwav::riffWave(
           concat({fmtChunk(Format()), testwav::chunk("data", kFourSamples, 0x7FFFF000)})),
       {1, 2, 3, 4},
       ""},
      {"data size placeholder 0x80000000",
       testwav::riffWave(
           concat({fmtChunk(Format()), testwav::chunk("data", kFourSamples, 0x80000000)})),
       {1, 2, 3, 4},
       ""},
      {"first wave form and its first chunks",
       concat({{'R', 'I', 'F', 'F', 5, 0, 0, 0, 'A', 'V', 'I', ' ', 0x33, 0},
               testwav::riffWave(
                   concat({fmtChunk(Format().withBits(8)), testwav::chunk("data", Bytes{1, 2}),
                           fmtChunk(Format()), testwav::chunk("data", Bytes{3, 4})})),
               testwav::pcm8Wave(Bytes{5, 6, 7})}),
       {1, 2},
       ""},
      {"a million tiny chunks", testwav::riffWave(million), {42}, ""},
      {"lowest rate",
       testwav::wave(Format().withRate(1000), kFourSamples),
       {1, 2, 3, 4},
       "1/1/1000/16/2"},
      {"highest rate",
       testwav::wave(Format().withRate(768000), kFourSamples),
       {1, 2, 3, 4},
       "1/1/768000/16/2"},
  };
  for (const Case& c : cases) {
    WaveData wave(1, 8000, 8);
    ASSERT_TRUE(loadImage(wave, c.image)) << c.what << ": " << wave.lastError();
    EXPECT_EQ(allSamples(wave), c.samples) << c.what;
    EXPECT_TRUE(c.layout.empty() || layoutOf(wave) == c.layout) << c.what << ": " << layoutOf(wave);
    EXPECT_TRUE(c.dataBytes < 0 || wave.getDataBytes() == c.dataBytes) << c.what;
  }
}

TEST(WaveData, G711CodesAreOddSymmetricAndMonotonic) {
  Bytes everyCode(256);
  for (size_t code = 0; code < everyCode.size(); ++code)
    everyCode[code] = static_cast<uint8_t>(code);
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

}  // namespace pitchtrack
