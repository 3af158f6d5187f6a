// Writes a long synthetic recording for benchmarks and soak runs: a voice-like tone that moves
// through a repeating phrase of notes with short silences, so that the endpoint detector, both
// tracking passes and the path search all do real work.
//
// Usage: make_recording out.wav seconds rate bits [seed [noise]]   (bits 8 or 16, mono PCM)
//
// `noise` (default 0) adds white noise, uniform in +-noise of full scale, from a generator
// seeded by `seed`: a room's hiss gives the autocorrelation many small peaks, so every frame,
// the pauses included, carries a long candidate list into the path search.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "support/signals.h"
#include "wav_writing.h"

namespace {

using benchwav::writeHeader;

// Amplitude in [-1, 1] at sample i: 0.6 s notes and 0.15 s pauses over a phrase of eight notes
// around semitone 52, transposed by `seed` semitones, with 30 ms ramps at both ends of a note.
// The voice keeps its phase across notes and pauses, so ask for the samples in order.
double sampleAt(uint64_t i, int seed, testsignal::Oscillator& singer) {
  static constexpr int kPhrase[8] = {48, 52, 55, 57, 55, 52, 50, 47};
  const double t = static_cast<double>(i) / singer.voice.rate;
  const double slot = 0.75;
  const auto index = static_cast<uint64_t>(t / slot);
  const double within = t - static_cast<double>(index) * slot;
  if (within > 0.6) return 0.0;
  singer.voice.frequency = testsignal::semitoneHz(kPhrase[index % 8] + seed);
  singer.voice.amplitude = 0.4 * std::min(1.0, std::min(within, 0.6 - within) / 0.03);
  return singer.next();
}

// Uniform values in [-1, 1) from a 64-bit xorshift generator: the same on every platform.
class Hiss {
 public:
  explicit Hiss(int seed) : state_(0x9E3779B97F4A7C15ULL ^ static_cast<uint64_t>(seed + 1)) {}
  double next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<double>(state_ >> 11) / 4503599627370496.0 - 1.0;
  }

 private:
  uint64_t state_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s out.wav seconds rate bits [seed]\n", argv[0]);
    return 2;
  }
  const double seconds = std::atof(argv[2]);
  const auto rate = static_cast<uint32_t>(std::atoi(argv[3]));
  const auto bits = static_cast<uint32_t>(std::atoi(argv[4]));
  const int seed = argc > 5 ? std::atoi(argv[5]) : 0;
  const double noise = argc > 6 ? std::atof(argv[6]) : 0.0;
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr || (bits != 8 && bits != 16)) return 1;
  const auto samples = static_cast<uint64_t>(seconds * rate);
  writeHeader(file, rate, bits, samples);
  std::vector<uint8_t> block;
  testsignal::Oscillator singer{{.rate = static_cast<double>(rate)}};
  Hiss hiss(seed);
  for (uint64_t i = 0; i < samples; ++i) {
    const double voice = sampleAt(i, seed, singer);
    const double v = noise > 0 ? std::clamp(voice + noise * hiss.next(), -1.0, 1.0) : voice;
    if (bits == 8) {
      block.push_back(static_cast<uint8_t>(std::lround(128 + 127 * v)));
    } else {
      const auto s = static_cast<uint16_t>(static_cast<int16_t>(std::lround(32767 * v)));
      block.push_back(static_cast<uint8_t>(s & 0xFF));
      block.push_back(static_cast<uint8_t>(s >> 8));
    }
    if (block.size() >= 65536) {
      std::fwrite(block.data(), 1, block.size(), file);
      block.clear();
    }
  }
  std::fwrite(block.data(), 1, block.size(), file);
  return std::fclose(file) == 0 ? 0 : 1;
}
