// Writes the seed inputs of the fuzz targets: make_fuzz_seeds <corpus-dir> creates
// <corpus-dir>/wave_reader_fuzz and <corpus-dir>/pipeline_fuzz and fills them with small valid
// and damaged wave images and pipeline inputs. Names are fixed, so rerunning refreshes the
// same seeds and leaves what the fuzzers added alone.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/signals.h"
#include "support/wav_image.h"

namespace {

namespace fs = std::filesystem;
using testwav::Bytes;

// A voice-like tone: a few harmonics of f0, scaled to stay within [-1, 1].
std::vector<double> tone(double f0, uint32_t rate, size_t count) {
  return testsignal::steadyTone(
      {.frequency = f0, .rate = static_cast<double>(rate), .amplitude = 0.4, .harmonics = 4},
      count);
}

std::vector<int16_t> as16(const std::vector<double>& signal) {
  std::vector<int16_t> out;
  for (const double v : signal) out.push_back(static_cast<int16_t>(std::lround(v * 32767)));
  return out;
}

std::vector<uint8_t> as8(const std::vector<double>& signal) {
  std::vector<uint8_t> out;
  for (const double v : signal) out.push_back(static_cast<uint8_t>(128 + std::lround(v * 127)));
  return out;
}

std::vector<int32_t> as24(const std::vector<double>& signal) {
  std::vector<int32_t> out;
  for (const double v : signal) out.push_back(static_cast<int32_t>(std::lround(v * 8388607)));
  return out;
}

std::vector<int32_t> as32(const std::vector<double>& signal) {
  std::vector<int32_t> out;
  for (const double v : signal) out.push_back(static_cast<int32_t>(std::lround(v * 2147483647.0)));
  return out;
}

Bytes dataChunk(const std::vector<int16_t>& samples) {
  Bytes data;
  for (const int16_t s : samples) testwav::appendU16(data, static_cast<uint16_t>(s));
  return testwav::chunk("data", data);
}

std::vector<std::pair<std::string, Bytes>> waveSeeds() {
  using namespace testwav;
  const auto voice = tone(220, 8000, 600);
  const auto pcm16 = as16(voice);
  const Bytes fmt16 = chunk("fmt ", fmtPayload(format(kTagPcm, 1, 8000, 16)));
  std::vector<uint8_t> codes(400);
  for (size_t i = 0; i < codes.size(); ++i) codes[i] = static_cast<uint8_t>(i * 37);

  std::vector<std::pair<std::string, Bytes>> seeds = {
      {"pcm16.wav", pcmWave(pcm16)},
      {"pcm8.wav", pcm8Wave(as8(voice))},
      {"pcm16_stereo_44100.wav", pcmWave(as16(tone(330, 44100, 800)), 44100, 2)},
      {"pcm24_3ch_48000.wav", pcm24Wave(as24(tone(200, 48000, 600)), 48000, 3)},
      {"pcm32.wav", pcm32Wave(as32(voice))},
      {"float32.wav", floatWave(voice, 32)},
      {"float64.wav", floatWave(voice, 64, 16000)},
      {"mulaw.wav", muLawWave(codes)},
      {"alaw.wav", aLawWave(codes)},
      {"extensible24.wav",
       wave(Format().withSubFormat(kTagPcm).withBits(24).withRate(48000), Bytes(300 * 3, 0x11))},
      {"extensible_float.wav",
       wave(Format().withSubFormat(kTagFloat).withBits(32), Bytes(64 * 4, 0))},
      {"fmt_extra.wav", wave(Format().withExtra({1, 2, 3, 4}), Bytes(64, 7))},
  };

  Bytes odd = chunk("LIST", Bytes{'a', 'b', 'c'});
  appendBytes(odd, fmt16);
  appendBytes(odd, chunk("junk", Bytes(5, 0)));
  appendBytes(odd, dataChunk(pcm16));
  seeds.emplace_back("odd_chunks.wav", riffWave(odd));

  Bytes streaming = fmt16;
  appendBytes(streaming, dataChunk(pcm16));
  seeds.emplace_back("riff_size_zero.wav", riffWave(streaming, 0));

  Bytes twoForms = chunk("RIFF", Bytes{'A', 'V', 'I', ' ', 0, 0});
  appendBytes(twoForms, pcmWave(pcm16));
  seeds.emplace_back("second_form.wav", twoForms);

  Bytes dataFirst = dataChunk(pcm16);
  appendBytes(dataFirst, fmt16);
  seeds.emplace_back("data_before_fmt.wav", riffWave(dataFirst));

  Bytes cut = pcmWave(pcm16);
  cut.resize(cut.size() - 101);
  seeds.emplace_back("truncated_data.wav", cut);

  Bytes longDeclared = fmt16;
  appendBytes(longDeclared, chunk("data", Bytes(40, 1), 0xFFFFFFF0u));
  seeds.emplace_back("data_size_too_long.wav", riffWave(longDeclared));
  return seeds;
}

// Pipeline input: rate, flags, then 16-bit samples (see pipeline_fuzz.cpp).
Bytes pipelineInput(uint32_t rate, uint8_t flags, const std::vector<int16_t>& samples) {
  Bytes out;
  testwav::appendU32(out, rate - 1);
  out.push_back(flags);
  for (const int16_t s : samples) testwav::appendU16(out, static_cast<uint16_t>(s));
  return out;
}

std::vector<int16_t> unsignedBytes(const std::vector<double>& signal) {
  std::vector<int16_t> out;
  for (const uint8_t v : as8(signal)) out.push_back(v);
  return out;
}

std::vector<std::pair<std::string, Bytes>> pipelineSeeds() {
  // Flag bits: 16-bit samples, unsigned 8-bit samples, the streaming block limit (bits 2..4,
  // 6 = 65536 samples) and a streaming reader that ends early.
  constexpr uint8_t k16 = 1 | (6 << 2);
  constexpr uint8_t kUnsigned8 = 2 | (6 << 2);
  constexpr uint8_t kSmallBlocks = 2 << 2;
  constexpr uint8_t kEndsEarly = 32;
  std::vector<int16_t> square(8000);
  for (size_t i = 0; i < square.size(); ++i) square[i] = (i / 20) % 2 == 0 ? 32767 : -32768;
  return {
      {"tone_8000_16", pipelineInput(8000, k16, as16(tone(220, 8000, 8000)))},
      {"tone_8000_8", pipelineInput(8000, kUnsigned8, unsignedBytes(tone(300, 8000, 8000)))},
      {"tone_16000_16", pipelineInput(16000, k16, as16(tone(180, 16000, 12000)))},
      {"tone_44100_16", pipelineInput(44100, k16, as16(tone(440, 44100, 22050)))},
      {"tone_11025_8", pipelineInput(11025, kUnsigned8, unsignedBytes(tone(250, 11025, 9000)))},
      {"tone_1000_16", pipelineInput(1000, k16, as16(tone(120, 1000, 3000)))},
      {"tone_768000_16", pipelineInput(768000, k16, as16(tone(200, 768000, 60000)))},
      {"square_8000_16", pipelineInput(8000, k16, square)},
      {"silence_8000_16", pipelineInput(8000, k16, std::vector<int16_t>(4000, 0))},
      {"dc_8000_8", pipelineInput(8000, kUnsigned8, std::vector<int16_t>(4000, 200))},
      {"samples_512", pipelineInput(8000, k16, as16(tone(220, 8000, 512)))},
      {"rate_999", pipelineInput(999, k16, as16(tone(220, 999, 2000)))},
      {"rate_768001", pipelineInput(768001, k16, as16(tone(220, 8000, 2000)))},
      {"rate_1", pipelineInput(1, 0, std::vector<int16_t>(16, 5))},
      {"tone_22050_small_blocks",
       pipelineInput(22050, 1 | kSmallBlocks, as16(tone(260, 22050, 11025)))},
      {"tone_8000_ends_early", pipelineInput(8000, k16 | kEndsEarly, as16(tone(220, 8000, 4000)))},
  };
}

bool writeAll(const fs::path& dir, const std::vector<std::pair<std::string, Bytes>>& seeds) {
  std::error_code error;
  fs::create_directories(dir, error);
  if (error) return false;
  for (const auto& [name, bytes] : seeds) testwav::writeFile(dir / name, bytes);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s corpus-dir\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  if (!writeAll(root / "wave_reader_fuzz", waveSeeds()) ||
      !writeAll(root / "pipeline_fuzz", pipelineSeeds())) {
    std::fprintf(stderr, "cannot create the corpus directories under %s\n", argv[1]);
    return 1;
  }
  return 0;
}
