#include "pitch_material.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace measure {

namespace {

constexpr double kEdgeSeconds = 0.02;
constexpr int kMaxHarmonics = 60;
constexpr double kTwoPi = 2 * std::numbers::pi;

// Approximately normal values of unit variance: the same on every platform.
struct Gaussian {
  explicit Gaussian(uint32_t seed) : engine(seed) {}
  double next() {
    double sum = 0;
    for (int i = 0; i < 12; ++i) sum += static_cast<double>(engine()) / 4294967296.0;
    return sum - 6;
  }
  double uniform() { return static_cast<double>(engine()) / 4294967296.0; }
  std::mt19937 engine;
};

struct Formant {
  double hz, bandwidth;
};

double resonance(double f, const Formant& formant) {
  const double f2 = formant.hz * formant.hz;
  return f2 / std::hypot(f2 - f * f, f * formant.bandwidth);
}

double vowelGain(Timbre timbre, double f) {
  static const Formant a[] = {{730, 80}, {1090, 90}, {2440, 120}};
  static const Formant i[] = {{270, 60}, {2290, 90}, {3010, 100}};
  static const Formant u[] = {{300, 60}, {870, 90}, {2240, 100}};
  static const Formant hum[] = {{250, 100}, {2200, 300}, {3300, 300}};
  const Formant* set = timbre == Timbre::kVowelA   ? a
                       : timbre == Timbre::kVowelI ? i
                       : timbre == Timbre::kVowelU ? u
                                                   : hum;
  double gain = 1;
  for (int n = 0; n < 3; ++n) gain *= resonance(f, set[n]);
  return gain;
}

// Weight of harmonic k of a tone at f0 Hz.
double harmonicWeight(Timbre timbre, int k, double f0) {
  switch (timbre) {
    case Timbre::kSaw:
      return 1.0 / k;
    case Timbre::kSquare:
      return k % 2 == 1 ? 1.0 / k : 0.0;
    case Timbre::kReed:
      return k % 2 == 1 ? 1.0 / k : (k <= 6 ? 0.1 : 0.3) / k;
    case Timbre::kSine:
      return k == 1 ? 1.0 : 0.0;
    default:  // a glottal source (about -7 dB per octave) through the vocal tract
      return std::pow(k, -1.2) * vowelGain(timbre, k * f0);
  }
}

struct Weights {
  int count = 0;
  double w[kMaxHarmonics + 1] = {};
};

Weights weightsAt(Timbre timbre, double f0, double rate) {
  Weights out;
  double sum = 0;
  for (int k = 1; k <= kMaxHarmonics && k * f0 < 0.45 * rate; ++k) {
    out.w[k] = harmonicWeight(timbre, k, f0);
    sum += out.w[k];
    out.count = k;
  }
  for (int k = 1; k <= out.count; ++k) out.w[k] /= sum;
  return out;
}

double segmentHz(const Segment& s, double t) {
  const double glide = s.startHz * std::pow(s.endHz / s.startHz, t / s.seconds);
  return glide * (1 + s.vibratoDepth * std::sin(kTwoPi * s.vibratoHz * t));
}

bool edgeAtStart(const std::vector<Segment>& segments, size_t i) {
  return i == 0 || !segments[i].joined || segments[i - 1].endHz != segments[i].startHz;
}

bool edgeAtEnd(const std::vector<Segment>& segments, size_t i) {
  return i + 1 == segments.size() || edgeAtStart(segments, i + 1);
}

// Samples of segment i as synthesised.
size_t samplesOf(const Segment& s, int32_t rate) {
  return static_cast<size_t>(std::lround(s.seconds * rate));
}

std::vector<double> truthOf(const std::vector<Segment>& segments, size_t sampleCount,
                            int32_t rate) {
  const auto frames = static_cast<size_t>(static_cast<int64_t>(sampleCount) * 8000 / rate / 256);
  std::vector<double> truth(frames, 0.0);
  for (size_t k = 0; k < frames; ++k) {
    const double centre = (static_cast<double>(k) + 0.5) * kFrameSeconds;
    size_t start = 0;
    for (size_t i = 0; i < segments.size(); ++i) {
      const Segment& s = segments[i];
      const size_t count = samplesOf(s, rate);
      const double t = centre - static_cast<double>(start) / rate;
      const double length = static_cast<double>(count) / rate;
      start += count;
      if (t >= length) continue;
      if (s.silent) break;
      const bool nearStart = edgeAtStart(segments, i) && t < kEdgeSeconds;
      const bool nearEnd = edgeAtEnd(segments, i) && length - t < kEdgeSeconds;
      truth[k] = nearStart || nearEnd ? kExcluded : segmentHz(s, t);
      break;
    }
    // A centre within 20 ms after a tone that ended is near its end too.
    if (truth[k] == 0 && k > 0) {
      size_t edge = 0;
      for (const Segment& s : segments) {
        edge += samplesOf(s, rate);
        const double seconds = static_cast<double>(edge) / rate;
        if (!s.silent && std::abs(centre - seconds) < kEdgeSeconds) truth[k] = kExcluded;
      }
    }
  }
  return truth;
}

double peakOf(const std::vector<double>& v) {
  double peak = 0;
  for (const double x : v) peak = std::max(peak, std::abs(x));
  return peak;
}

std::string rateName(int32_t rate) { return " @" + std::to_string(rate); }

}  // namespace

Material synthesise(const std::string& name, int32_t rate, const std::vector<Segment>& segments) {
  Material m{name + rateName(rate), rate, {}, {}};
  double phase = 0;
  for (size_t i = 0; i < segments.size(); ++i) {
    const Segment& s = segments[i];
    const size_t count = samplesOf(s, rate);
    if (!edgeAtStart(segments, i) && s.joined) {
      // phase carries on
    } else if (!s.joined) {
      phase = 0;
    }
    Weights weights;
    for (size_t n = 0; n < count; ++n) {
      const double t = static_cast<double>(n) / rate;
      if (s.silent) {
        m.samples.push_back(0);
        continue;
      }
      const double f0 = segmentHz(s, t);
      if (n % 64 == 0) weights = weightsAt(s.timbre, f0, rate);
      double value = 0;
      for (int k = 1; k <= weights.count; ++k) value += weights.w[k] * std::sin(k * phase);
      double gain = 1;
      if (!s.joined) gain = std::min(gain, t / s.fadeSeconds);
      if (i + 1 == segments.size() || !segments[i + 1].joined) {
        gain = std::min(gain, (s.seconds - t) / s.fadeSeconds);
      }
      m.samples.push_back(s.level * std::clamp(gain, 0.0, 1.0) * value * 3);
      phase = std::fmod(phase + kTwoPi * f0 / rate, kTwoPi);
    }
  }
  m.truthHz = truthOf(segments, m.samples.size(), rate);
  return m;
}

Material instrumentTones(Timbre timbre, int32_t rate) {
  std::vector<Segment> segments{{.seconds = 0.3, .silent = true}};
  for (int note = 36; note <= 83; ++note) {
    const double hz = 440 * std::pow(2.0, (note - 69) / 12.0);
    segments.push_back({.seconds = 0.4, .startHz = hz, .endHz = hz, .timbre = timbre});
    segments.push_back({.seconds = 0.2, .silent = true});
  }
  const char* names[] = {"saw", "square", "reed"};
  return synthesise(std::string("tones C2-B5 ") + names[static_cast<int>(timbre)], rate, segments);
}

Material legatoMelody(int32_t rate) {
  std::vector<Segment> segments;
  std::mt19937 engine(7);
  int note = 60;
  for (int i = 0; i < 60; ++i) {
    note = std::clamp(note + static_cast<int>(engine() % 9) - 4, 43, 81);
    const double hz = 440 * std::pow(2.0, (note - 69) / 12.0);
    const double seconds = 0.25 + 0.05 * static_cast<double>(engine() % 6);
    segments.push_back(
        {.seconds = seconds, .startHz = hz, .endHz = hz, .timbre = Timbre::kSaw, .joined = i > 0});
  }
  return synthesise("legato melody", rate, segments);
}

Material glides(int32_t rate) {
  const double points[] = {80, 800, 200, 1000, 60, 300};
  const double seconds[] = {4, 3, 4, 5, 3};
  std::vector<Segment> segments;
  for (int i = 0; i < 5; ++i) {
    segments.push_back({.seconds = seconds[i],
                        .startHz = points[i],
                        .endHz = points[i + 1],
                        .timbre = Timbre::kSaw,
                        .joined = i > 0});
  }
  return synthesise("glides 60-1000 Hz", rate, segments);
}

Material steadySine(int32_t rate, double hz) {
  return synthesise("steady " + std::to_string(static_cast<int>(hz)) + " Hz sine", rate,
                    {{.seconds = 10, .startHz = hz, .endHz = hz, .timbre = Timbre::kSine}});
}

Material noise(NoiseColour colour, int32_t rate, double peakDb, uint32_t seed) {
  const char* names[] = {"white", "pink", "brown", "band 400-1600 Hz"};
  Material m{std::string(names[static_cast<int>(colour)]) + " noise " +
                 std::to_string(static_cast<int>(peakDb)) + " dBFS" + rateName(rate),
             rate,
             std::vector<double>(static_cast<size_t>(10 * rate)),
             {}};
  Gaussian g(seed);
  double b0 = 0, b1 = 0, b2 = 0, brown = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  // Band-pass biquad centred on 800 Hz, Q 0.6.
  const double w = kTwoPi * 800 / rate, alpha = std::sin(w) / (2 * 0.6);
  const double a0 = 1 + alpha, a1 = -2 * std::cos(w) / a0, a2 = (1 - alpha) / a0;
  for (double& v : m.samples) {
    const double white = g.next();
    switch (colour) {
      case NoiseColour::kWhite:
        v = white;
        break;
      case NoiseColour::kPink:
        b0 = 0.99765 * b0 + white * 0.0990460;
        b1 = 0.96300 * b1 + white * 0.2965164;
        b2 = 0.57000 * b2 + white * 1.0526913;
        v = b0 + b1 + b2 + white * 0.1848;
        break;
      case NoiseColour::kBrown:
        brown = 0.999 * brown + white;
        v = brown;
        break;
      case NoiseColour::kBand: {
        const double y = (alpha / a0) * (white - x2) - a1 * y1 - a2 * y2;
        x2 = x1, x1 = white, y2 = y1, y1 = y;
        v = y;
        break;
      }
    }
  }
  m.truthHz.assign(static_cast<size_t>(10 * 8000 / 256), 0.0);
  const double scale = std::pow(10.0, peakDb / 20) / peakOf(m.samples);
  for (double& v : m.samples) v *= scale;
  return m;
}

Material sungVoice(int32_t rate) {
  const int notes[] = {48, 52, 55, 60, 64, 67, 72, 69, 65, 62, 57, 53, 50, 55, 59, 62};
  const Timbre vowels[] = {Timbre::kVowelA, Timbre::kVowelI, Timbre::kVowelU};
  std::vector<Segment> segments{{.seconds = 0.3, .silent = true}};
  for (int i = 0; i < 16; ++i) {
    const double hz = 440 * std::pow(2.0, (notes[i] - 69) / 12.0);
    segments.push_back({.seconds = 0.6,
                        .startHz = hz,
                        .endHz = hz,
                        .vibratoDepth = 0.02,
                        .timbre = vowels[i % 3],
                        .fadeSeconds = 0.03});
    if (i % 4 == 1) {  // a portamento into the next note
      const double next = 440 * std::pow(2.0, (notes[i + 1] - 69) / 12.0);
      segments.push_back({.seconds = 0.15,
                          .startHz = hz,
                          .endHz = next,
                          .timbre = vowels[i % 3],
                          .fadeSeconds = 0.03,
                          .joined = true});
      segments.push_back({.seconds = 0.45,
                          .startHz = next,
                          .endHz = next,
                          .vibratoDepth = 0.02,
                          .timbre = vowels[i % 3],
                          .fadeSeconds = 0.03,
                          .joined = true});
      ++i;
    }
    segments.push_back({.seconds = 0.2, .silent = true});
  }
  return synthesise("voice, sung", rate, segments);
}

Material hummedVoice(int32_t rate) {
  const double pairs[][2] = {{110, 110}, {147, 196}, {220, 220}, {262, 175},
                             {98, 131},  {330, 330}, {196, 247}, {165, 123}};
  std::vector<Segment> segments{{.seconds = 0.3, .silent = true}};
  for (const auto& p : pairs) {
    segments.push_back({.seconds = 0.8,
                        .startHz = p[0],
                        .endHz = p[1],
                        .vibratoDepth = 0.005,
                        .timbre = Timbre::kHum,
                        .fadeSeconds = 0.04});
    segments.push_back({.seconds = 0.15, .silent = true});
  }
  return synthesise("voice, hummed", rate, segments);
}

Material spokenVoice(int32_t rate, uint32_t seed) {
  Gaussian g(seed);
  const Timbre vowels[] = {Timbre::kVowelA, Timbre::kVowelI, Timbre::kVowelU};
  std::vector<Segment> segments{{.seconds = 0.3, .silent = true}};
  for (int i = 0; i < 40; ++i) {
    const double base = (i / 20 == 0 ? 110 : 210) * (0.9 + 0.3 * g.uniform());
    const double fall = 0.75 + 0.4 * g.uniform();
    segments.push_back({.seconds = 0.12 + 0.18 * g.uniform(),
                        .startHz = base,
                        .endHz = base * fall,
                        .timbre = vowels[i % 3],
                        .fadeSeconds = 0.015});
    segments.push_back({.seconds = 0.05 + 0.15 * g.uniform(), .silent = true});
  }
  Material m = synthesise("voice, spoken", rate, segments);
  // Fricatives in some of the pauses: noise at -30 dB, no pitch.
  size_t at = 0;
  for (size_t i = 0; i < segments.size(); ++i) {
    const auto count = static_cast<size_t>(std::lround(segments[i].seconds * rate));
    if (segments[i].silent && i % 4 == 2) {
      for (size_t n = count / 4; n < 3 * count / 4 && at + n < m.samples.size(); ++n) {
        m.samples[at + n] = 0.03 * g.next() / 3;
      }
    }
    at += count;
  }
  return m;
}

Material withNoise(Material m, double snrDb, uint32_t seed) {
  const size_t perFrame = static_cast<size_t>(m.rate * kFrameSeconds);
  double power = 0;
  size_t count = 0;
  for (size_t k = 0; k < m.truthHz.size(); ++k) {
    if (m.truthHz[k] <= 0) continue;
    for (size_t n = k * perFrame; n < (k + 1) * perFrame && n < m.samples.size(); ++n) {
      power += m.samples[n] * m.samples[n];
      ++count;
    }
  }
  const double sigma = std::sqrt(power / static_cast<double>(count) / std::pow(10.0, snrDb / 10));
  Gaussian g(seed);
  for (double& v : m.samples) v += sigma * g.next();
  m.name += ", " + std::to_string(static_cast<int>(snrDb)) + " dB SNR";
  return m;
}

Material inRoom(Material m, double seconds, uint32_t seed) {
  const auto length = static_cast<size_t>(seconds * m.rate);
  std::vector<double> tail(length);
  Gaussian g(seed);
  double energy = 0;
  for (size_t n = 0; n < length; ++n) {
    tail[n] =
        g.next() * std::pow(10.0, -3.0 * static_cast<double>(n) / static_cast<double>(length));
    energy += tail[n] * tail[n];
  }
  for (double& v : tail) v *= 0.7 / std::sqrt(energy);
  const double peak = peakOf(m.samples);
  std::vector<double> wet(m.samples);
  for (size_t n = 0; n < m.samples.size(); ++n) {
    const double x = m.samples[n];
    if (x == 0) continue;
    const size_t span = std::min(length, wet.size() - n - 1);
    for (size_t k = 0; k < span; ++k) wet[n + 1 + k] += x * tail[k];
  }
  const double scale = peak / peakOf(wet);
  for (double& v : wet) v *= scale;
  m.samples = std::move(wet);
  m.name += ", room";
  return m;
}

Material atPeakLevel(Material m, double peakDb) {
  const double scale = std::pow(10.0, peakDb / 20) / peakOf(m.samples);
  for (double& v : m.samples) v *= scale;
  m.name += ", peak " + std::to_string(static_cast<int>(peakDb)) + " dBFS";
  return m;
}

std::vector<int16_t> toPcm(const Material& m) {
  std::vector<int16_t> out;
  out.reserve(m.samples.size());
  for (const double v : m.samples) {
    out.push_back(static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0)));
  }
  return out;
}

}  // namespace measure
