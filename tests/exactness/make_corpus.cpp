// Writes the recordings over which `make exactness` runs every build of the tool.
//
// Ten kinds of sound (sung phrases with vibrato, glides, speech-like syllables, steady tones on
// and between whole-sample periods, hummed notes, noise, silence, clipped singing, a voice in
// noise, and two different voices on two channels) are each written 22 times, cycling through
// every supported encoding and fourteen sample rates, then a handful of files that are short,
// oddly laid out or unreadable, so that the exit status is compared too.
//
// Every value comes from a fixed seed: the same generator binary always writes the same files.
// The corpus only has to be the same for all the builds compared in one run, so the generator's
// own math library does not matter.
//
// Usage: make_corpus OUTDIR   (writes OUTDIR/NNN_kind_encoding_rate.wav)
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "support/signals.h"
#include "support/wav_image.h"

namespace {

namespace fs = std::filesystem;
using testwav::Bytes;
using Channels = std::vector<std::vector<double>>;  // samples per channel, full scale 1.0

constexpr double kTwoPi = 2 * std::numbers::pi;

// Deterministic pseudo-random numbers (a 32-bit linear congruential generator).
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed * 2654435761u + 1u) {}
  double uniform() {  // in [0, 1)
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<double>(state_ >> 8) / 16777216.0;
  }
  double between(double low, double high) { return low + (high - low) * uniform(); }
  double noise() { return 2 * uniform() - 1; }

 private:
  uint32_t state_;
};

// A glottal-like source: twelve harmonics falling as 1/k with a bump near 700 Hz, following
// the instantaneous frequency f0(t). Harmonics at or above the Nyquist frequency are left out.
std::vector<double> voiced(int rate, double seconds, const std::function<double(double)>& f0) {
  const auto count = static_cast<size_t>(seconds * rate);
  std::vector<double> out(count);
  double phase = 0;
  for (size_t i = 0; i < count; ++i) {
    const double f = f0(static_cast<double>(i) / rate);
    phase += kTwoPi * f / rate;
    double value = 0;
    for (int k = 1; k <= 12 && k * f < rate / 2.0; ++k) {
      const double distance = (k * f - 700.0) / 300.0;
      value += std::sin(k * phase) / k * (1 + 1.5 * std::exp(-distance * distance));
    }
    out[i] = 0.3 * value;
  }
  return out;
}

// Raised-cosine fade of `ramp` seconds at both ends.
void fade(std::vector<double>& samples, int rate, double ramp) {
  const double length = static_cast<double>(samples.size()) / rate;
  for (size_t i = 0; i < samples.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const double edge = std::min(t, length - t);
    if (edge < ramp) samples[i] *= 0.5 - 0.5 * std::cos(std::numbers::pi * edge / ramp);
  }
}

void addNoise(std::vector<double>& samples, double level, Random& random) {
  for (double& v : samples) v += level * random.noise();
}

void append(std::vector<double>& to, const std::vector<double>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

void appendSilence(std::vector<double>& to, int rate, double seconds) {
  to.insert(to.end(), static_cast<size_t>(seconds * rate), 0.0);
}

// Notes a few semitones apart around a random centre, with vibrato and short pauses.
std::vector<double> sungPhrase(int rate, double seconds, Random& random) {
  const double centre = random.between(45, 75);
  const double depth = random.between(0.1, 0.8);  // semitones
  const double speed = random.between(4.5, 6.5);  // Hz
  std::vector<double> out;
  appendSilence(out, rate, 0.15);
  const int notes = 3;
  for (int n = 0; n < notes; ++n) {
    const double semitone = centre + std::round(random.between(-5, 5));
    auto note = voiced(rate, seconds / notes - 0.1, [&](double t) {
      return testsignal::semitoneHz(semitone + depth * std::sin(kTwoPi * speed * t));
    });
    fade(note, rate, 0.03);
    append(out, note);
    appendSilence(out, rate, 0.05);
  }
  addNoise(out, 0.002, random);
  return out;
}

// One continuous exponential sweep, sometimes reaching past the kept pitch range.
std::vector<double> glide(int rate, double seconds, Random& random) {
  const double from = random.between(28, 95);
  const double to = random.between(28, 95);
  auto out = voiced(rate, seconds, [&](double t) {
    return testsignal::semitoneHz(from + (to - from) * t / seconds);
  });
  fade(out, rate, 0.05);
  return out;
}

// Syllables of falling pitch, each preceded by a burst of fricative noise.
std::vector<double> speechLike(int rate, double seconds, Random& random) {
  const double base = random.between(48, 68);
  std::vector<double> out;
  while (static_cast<double>(out.size()) / rate < seconds - 0.3) {
    std::vector<double> burst(static_cast<size_t>(random.between(0.02, 0.08) * rate));
    addNoise(burst, 0.05, random);
    append(out, burst);
    const double length = random.between(0.12, 0.25);
    const double start = base + random.between(-2, 4);
    auto syllable = voiced(
        rate, length, [&](double t) { return testsignal::semitoneHz(start - 4 * t / length); });
    fade(syllable, rate, 0.02);
    append(out, syllable);
    appendSilence(out, rate, random.between(0.03, 0.1));
  }
  return out;
}

// A steady harmonic tone whose period at 8000 Hz is a whole number of samples or lies half-way
// between two, where the choice of lag is closest to a tie.
std::vector<double> steadyTone(int rate, double seconds, Random& random) {
  const double lag = std::floor(random.between(12, 160)) + (random.uniform() < 0.5 ? 0.0 : 0.5);
  const auto tone =
      testsignal::harmonicTone(rate, 8000.0 / lag, 12000, static_cast<size_t>(seconds * rate));
  std::vector<double> out(tone.size());
  std::transform(tone.begin(), tone.end(), out.begin(), [](int32_t v) { return v / 32768.0; });
  fade(out, rate, 0.02);
  return out;
}

std::vector<double> hummed(int rate, double seconds, Random& random) {
  const double a = testsignal::semitoneHz(std::round(random.between(40, 70)));
  const double b = testsignal::semitoneHz(std::round(random.between(40, 70)));
  const auto notes = testsignal::hummedNotes(rate, {a, b, a}, seconds / 4, 0.05, 0.1);
  std::vector<double> out(notes.size());
  std::transform(notes.begin(), notes.end(), out.begin(), [](int16_t v) { return v / 32768.0; });
  return out;
}

std::vector<double> noise(int rate, double seconds, Random& random) {
  std::vector<double> out(static_cast<size_t>(seconds * rate));
  addNoise(out, random.between(0.001, 0.6), random);
  return out;
}

// Digital silence, a constant offset, or a signal that toggles by one step of 16-bit audio.
std::vector<double> silence(int rate, double seconds, Random& random) {
  const double level = std::round(random.between(-3, 3)) / 32768.0;
  std::vector<double> out(static_cast<size_t>(seconds * rate), level);
  if (random.uniform() < 0.3) {
    for (size_t i = 0; i < out.size(); i += 2) out[i] += 1 / 32768.0;
  }
  return out;
}

// Singing overdriven into hard clipping; past full scale, where float encodings can carry it.
std::vector<double> clipped(int rate, double seconds, Random& random) {
  auto out = sungPhrase(rate, seconds, random);
  const double gain = random.between(3, 8);
  const double ceiling = random.between(1.0, 1.6);
  for (double& v : out) v = std::clamp(gain * v, -ceiling, ceiling);
  return out;
}

std::vector<double> voiceInNoise(int rate, double seconds, Random& random) {
  auto out = sungPhrase(rate, seconds, random);
  addNoise(out, random.between(0.05, 0.4), random);
  return out;
}

struct Kind {
  const char* name;
  std::vector<double> (*make)(int rate, double seconds, Random& random);
};

constexpr std::array<Kind, 9> kMonoKinds = {{{"sung", sungPhrase},
                                             {"glide", glide},
                                             {"speech", speechLike},
                                             {"tone", steadyTone},
                                             {"hummed", hummed},
                                             {"noise", noise},
                                             {"silence", silence},
                                             {"clipped", clipped},
                                             {"noisyvoice", voiceInNoise}}};

// How samples in [-1, 1] become bytes.
struct Encoding {
  const char* name;
  uint16_t tag;        // format tag of the "fmt " chunk
  uint16_t bits;       // bits per sample
  uint16_t subFormat;  // the coding inside WAVE_FORMAT_EXTENSIBLE, else the tag itself
};

constexpr std::array<Encoding, 11> kEncodings = {{
    {"u8", testwav::kTagPcm, 8, testwav::kTagPcm},
    {"s16", testwav::kTagPcm, 16, testwav::kTagPcm},
    {"s24", testwav::kTagPcm, 24, testwav::kTagPcm},
    {"s32", testwav::kTagPcm, 32, testwav::kTagPcm},
    {"f32", testwav::kTagFloat, 32, testwav::kTagFloat},
    {"f64", testwav::kTagFloat, 64, testwav::kTagFloat},
    {"mulaw", testwav::kTagMuLaw, 8, testwav::kTagMuLaw},
    {"alaw", testwav::kTagALaw, 8, testwav::kTagALaw},
    {"ext-s16", testwav::kTagExtensible, 16, testwav::kTagPcm},
    {"ext-s24", testwav::kTagExtensible, 24, testwav::kTagPcm},
    {"ext-f32", testwav::kTagExtensible, 32, testwav::kTagFloat},
}};

constexpr std::array<int, 14> kRates = {8000, 11025, 16000, 22050, 44100, 48000, 1000,
                                        4000, 6000,  7999,  12345, 32000, 37800, 96000};

int16_t toInt16(double v) {
  return static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767));
}

// ITU-T G.711 mu-law compression of a 16-bit sample.
uint8_t muLaw(int16_t sample) {
  constexpr int kBias = 0x84;
  constexpr int kClip = 32635;
  const int sign = sample < 0 ? 0x80 : 0;
  const int magnitude = std::min(sample < 0 ? -int{sample} : int{sample}, kClip) + kBias;
  int exponent = 7;
  for (int mask = 0x4000; (magnitude & mask) == 0 && exponent > 0; mask >>= 1) --exponent;
  const int mantissa = (magnitude >> (exponent + 3)) & 0x0F;
  return static_cast<uint8_t>(~(sign | (exponent << 4) | mantissa) & 0xFF);
}

// ITU-T G.711 A-law compression of a 16-bit sample.
uint8_t aLaw(int16_t sample) {
  int value = sample >> 3;  // 13 significant bits
  const int mask = value >= 0 ? 0xD5 : 0x55;
  if (value < 0) value = -value - 1;
  int segment = 0;
  while (segment < 8 && value > (0x1F << segment)) ++segment;
  if (segment == 8) return static_cast<uint8_t>(0x7F ^ mask);
  const int shift = segment < 2 ? 1 : segment;
  return static_cast<uint8_t>(((segment << 4) | ((value >> shift) & 0x0F)) ^ mask);
}

void appendSample(Bytes& data, uint16_t coding, uint16_t bits, double v) {
  if (coding == testwav::kTagFloat && bits == 64) {
    testwav::appendU64(data, std::bit_cast<uint64_t>(v));
  } else if (coding == testwav::kTagFloat) {
    testwav::appendU32(data, std::bit_cast<uint32_t>(static_cast<float>(v)));
  } else if (coding == testwav::kTagMuLaw) {
    data.push_back(muLaw(toInt16(v)));
  } else if (coding == testwav::kTagALaw) {
    data.push_back(aLaw(toInt16(v)));
  } else if (bits == 8) {
    data.push_back(static_cast<uint8_t>(std::lround(128 + 127 * std::clamp(v, -1.0, 1.0))));
  } else {
    const double full = std::ldexp(1.0, bits - 1) - 1;
    const auto value = static_cast<uint32_t>(std::llround(std::clamp(v, -1.0, 1.0) * full));
    for (int shift = 0; shift < bits; shift += 8)
      data.push_back(static_cast<uint8_t>(value >> shift));
  }
}

Bytes encode(const Channels& channels, int rate, const Encoding& encoding) {
  testwav::Format format = testwav::format(encoding.tag, static_cast<uint16_t>(channels.size()),
                                           static_cast<uint32_t>(rate), encoding.bits);
  if (encoding.tag == testwav::kTagExtensible) format.withSubFormat(encoding.subFormat);
  Bytes data;
  const size_t frames = channels.front().size();
  for (size_t i = 0; i < frames; ++i) {
    for (const auto& channel : channels) {
      appendSample(data, encoding.subFormat, encoding.bits, channel[i]);
    }
  }
  return testwav::wave(format, data);
}

// Two different singers, one on each channel, of equal length.
Channels duet(int rate, double seconds, Random& random) {
  Channels out{sungPhrase(rate, seconds, random), speechLike(rate, seconds, random)};
  const size_t length = std::min(out[0].size(), out[1].size());
  for (auto& channel : out) channel.resize(length);
  return out;
}

class CorpusWriter {
 public:
  explicit CorpusWriter(fs::path dir) : dir_(std::move(dir)) {}

  void write(const std::string& name, const Bytes& bytes) {
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, "%03d_", count_++);
    testwav::writeFile(dir_ / (prefix + name + ".wav"), bytes);
  }
  int count() const { return count_; }

 private:
  fs::path dir_;
  int count_ = 0;
};

void writeKind(CorpusWriter& corpus, size_t kindIndex, const char* kindName,
               const std::function<Channels(int, double, Random&)>& make) {
  for (size_t j = 0; j < 22; ++j) {
    const Encoding& encoding = kEncodings[(kindIndex + j) % kEncodings.size()];
    const int rate = kRates[(3 * kindIndex + j) % kRates.size()];
    const double seconds = 0.8 + 0.1 * static_cast<double>(j % 8);
    Random random(static_cast<uint32_t>(100 * kindIndex + j));
    const Channels channels = make(rate, seconds, random);
    corpus.write(std::string(kindName) + "_" + encoding.name + "_" + std::to_string(rate),
                 encode(channels, rate, encoding));
  }
}

Bytes pcm16(const std::vector<double>& samples, uint32_t rate) {
  std::vector<int16_t> values(samples.size());
  std::transform(samples.begin(), samples.end(), values.begin(), toInt16);
  return testwav::pcmWave(values, rate);
}

// Layouts at the edges of what the reader accepts, and files it must refuse.
void writeEdgeCases(CorpusWriter& corpus) {
  Random random(7);
  const auto voice = sungPhrase(8000, 1.0, random);
  const auto first = [&](size_t n) {
    return std::vector<double>(voice.begin(), voice.begin() + n);
  };
  corpus.write("edge_511_samples", pcm16(first(511), 8000));
  corpus.write("edge_512_samples", pcm16(first(512), 8000));
  corpus.write("edge_one_sample", pcm16(first(1), 8000));
  corpus.write("edge_empty_data", pcm16({}, 8000));
  corpus.write("edge_rate_1000_short", pcm16(first(300), 1000));

  const Bytes good = pcm16(voice, 8000);
  const Bytes fmt = testwav::chunk("fmt ", testwav::fmtPayload(testwav::format(1, 1, 8000, 16)));
  Bytes data(good.begin() + 44, good.end());
  Bytes body = fmt;
  testwav::appendChunk(body, "LIST", Bytes{'o', 'd', 'd'});  // odd size, pad byte follows
  testwav::appendChunk(body, "data", data);
  corpus.write("edge_odd_chunk_before_data", testwav::riffWave(body));
  corpus.write("edge_streaming_riff_size",
               testwav::riffWave(Bytes(good.begin() + 12, good.end()), 0));

  Bytes truncated = fmt;
  testwav::appendChunk(truncated, "data", data, static_cast<uint32_t>(data.size() * 2));
  corpus.write("bad_data_past_end", testwav::riffWave(truncated));
  corpus.write("bad_adpcm", testwav::wave(testwav::format(2, 1, 8000, 4), data));
  corpus.write("bad_no_channels", testwav::wave(testwav::format(1, 0, 8000, 16), data));
  corpus.write("bad_rate_999", testwav::wave(testwav::format(1, 1, 999, 16), data));
  corpus.write("bad_not_riff", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'v', 'e'});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  fs::create_directories(argv[1]);
  CorpusWriter corpus(argv[1]);
  try {
    for (size_t k = 0; k < kMonoKinds.size(); ++k) {
      const auto mono = [&](int rate, double seconds, Random& random) {
        return Channels{kMonoKinds[k].make(rate, seconds, random)};
      };
      writeKind(corpus, k, kMonoKinds[k].name, mono);
    }
    writeKind(corpus, kMonoKinds.size(), "duet", duet);
    writeEdgeCases(corpus);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  std::printf("%d recordings written to %s\n", corpus.count(), argv[1]);
  return 0;
}
