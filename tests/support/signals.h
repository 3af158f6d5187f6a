// Deterministic test signals: voice-like harmonic tones, hummed notes, pulse trains and silence
// at a given sample rate, built sample by sample so every run sees the same values.
//
// Every tone is one harmonic sum (harmonicSum): a pitch with its harmonics below the Nyquist
// frequency, harmonic k weighted 1/k like a buzzing vocal source unless the voice shapes it. A
// steady tone evaluates it at a sample or an instant; an Oscillator accumulates the phase so that
// pitch, loudness and vibrato may change from one sample to the next without a jump.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <numbers>
#include <span>
#include <vector>

namespace testsignal {

// What a voice sings: a pitch at a sample rate, a loudness and the harmonic make-up.
struct Voice {
  double frequency = 220;  // Hz
  double rate = 8000;      // samples per second
  double amplitude = 1;    // scale of the harmonic sum
  int harmonics = 8;       // at most this many; those at or above rate / 2 are left out
  // Weight of harmonic k of `frequency`, or null for the plain 1/k slope.
  double (*weight)(int k, double frequency) = nullptr;
  double vibratoDepth = 0;  // peak relative deviation of the pitch (Oscillator only)
  double vibratoHz = 0;     // vibrato cycles per second
};

// How many harmonics of the voice it sings: its limit, less those at or above half the rate.
inline int audibleHarmonics(const Voice& voice) {
  int count = 0;
  while (count < voice.harmonics && (count + 1) * voice.frequency < voice.rate / 2) ++count;
  return count;
}

// amplitude * sum over the audible harmonics k of weight(k) * sin(angle(k)), where angle(k) is
// the phase of harmonic k at the wanted sample: the one synthesis loop behind every tone here and
// in the fuzz seeds, benchmark recordings and example recording. Keep the order of its
// arithmetic (and of the angles below): examples/melody.wav and pinned contours depend on it.
template <typename Angle>
double harmonicSum(const Voice& voice, Angle angle) {
  const int harmonics = audibleHarmonics(voice);
  double value = 0;
  for (int k = 1; k <= harmonics; ++k) {
    const double wave = std::sin(angle(k));
    value += voice.weight == nullptr ? wave / k : voice.weight(k, voice.frequency) * wave;
  }
  return voice.amplitude * value;
}

// Sample n of a steady tone that starts at sample 0 with every harmonic at phase zero.
inline double steadySample(const Voice& voice, double n) {
  return harmonicSum(
      voice, [&](int k) { return 2 * std::numbers::pi * k * voice.frequency * n / voice.rate; });
}

// The same steady tone `seconds` after its start, for signals defined in continuous time and
// sampled at several rates; voice.rate then only decides which harmonics are audible.
inline double steadyAt(const Voice& voice, double seconds) {
  return harmonicSum(voice,
                     [&](int k) { return 2 * std::numbers::pi * k * voice.frequency * seconds; });
}

// `count` samples of a steady tone.
inline std::vector<double> steadyTone(const Voice& voice, size_t count) {
  std::vector<double> out(count);
  for (size_t n = 0; n < count; ++n) out[n] = steadySample(voice, static_cast<double>(n));
  return out;
}

// A voice sung sample after sample. The phase of the fundamental accumulates, harmonic k at k
// times it, so the voice's frequency and amplitude may be changed between calls to next().
struct Oscillator {
  Voice voice;
  double phase = 0;
  size_t elapsed = 0;  // samples sung so far, the clock of the vibrato

  double next() {
    const double t = static_cast<double>(elapsed++) / voice.rate;
    const double bend =
        voice.vibratoDepth == 0
            ? 1.0
            : 1.0 + voice.vibratoDepth * std::sin(2 * std::numbers::pi * voice.vibratoHz * t);
    phase += 2 * std::numbers::pi * voice.frequency * bend / voice.rate;
    return harmonicSum(voice, [&](int k) { return k * phase; });
  }
};

// A tone at `frequency` Hz made of its first harmonics below the Nyquist frequency (at most
// eight), harmonic k weighted 1/k, so that its autocorrelation has a clear peak at the period.
// The peak magnitude never exceeds `amplitude`.
inline std::vector<int32_t> harmonicTone(int32_t rate, double frequency, int32_t amplitude,
                                         size_t count) {
  const Voice voice{.frequency = frequency,
                    .rate = static_cast<double>(rate),
                    .amplitude = static_cast<double>(amplitude)};
  double weightSum = 0;
  for (int k = 1; k <= audibleHarmonics(voice); ++k) weightSum += 1.0 / k;
  std::vector<int32_t> out;
  out.reserve(count);
  for (const double v : steadyTone(voice, count)) {
    out.push_back(static_cast<int32_t>(std::lround(v / weightSum)));
  }
  return out;
}

// Short recordings of hummed notes for tests that run the tools on whole files, as 16-bit
// samples at `rate` Hz: `edge` seconds of silence, then every frequency (Hz) held for
// `noteSeconds` with `restSeconds` of silence between notes, then `edge` seconds of silence.
// Each note is a steady tone of (at most) eight harmonics, harmonic k at `amplitude` / k.
inline std::vector<int16_t> hummedNotes(int rate, std::initializer_list<double> frequencies,
                                        double noteSeconds = 0.3, double restSeconds = 0.1,
                                        double edge = 0.2, double amplitude = 5000) {
  const auto rest = [&](double seconds, std::vector<int16_t>& out) {
    out.insert(out.end(), static_cast<size_t>(seconds * rate), int16_t{0});
  };
  std::vector<int16_t> samples;
  rest(edge, samples);
  bool first = true;
  for (const double f0 : frequencies) {
    if (!first) rest(restSeconds, samples);
    first = false;
    const Voice voice{.frequency = f0, .rate = static_cast<double>(rate), .amplitude = amplitude};
    for (const double v : steadyTone(voice, static_cast<size_t>(noteSeconds * rate))) {
      samples.push_back(static_cast<int16_t>(std::lround(v)));
    }
  }
  rest(edge, samples);
  return samples;
}

// The frequency of a semitone number: 69 is 440 Hz.
inline double semitoneHz(double semitone) { return 440.0 * std::pow(2.0, (semitone - 69) / 12); }

// `amplitude` at every multiple of `period` samples, 0 elsewhere.
inline std::vector<int32_t> pulseTrain(int32_t period, int32_t amplitude, size_t count) {
  std::vector<int32_t> out(count, 0);
  for (size_t n = 0; n < count; n += static_cast<size_t>(period)) out[n] = amplitude;
  return out;
}

// `count` samples that all hold `level`.
inline std::vector<int32_t> silence(size_t count, int32_t level = 0) {
  return std::vector<int32_t>(count, level);
}

// The concatenation of the given pieces, in order.
inline std::vector<int32_t> concat(std::initializer_list<std::span<const int32_t>> pieces) {
  std::vector<int32_t> out;
  for (const auto piece : pieces) out.insert(out.end(), piece.begin(), piece.end());
  return out;
}

// The same values as 16-bit samples (callers keep them inside the 16-bit range).
inline std::vector<int16_t> toInt16(std::span<const int32_t> values) {
  std::vector<int16_t> out;
  out.reserve(values.size());
  for (const int32_t v : values) out.push_back(static_cast<int16_t>(v));
  return out;
}

// Real samples in [-1, 1] (beyond it they are clipped) as 16-bit samples of full scale 32767.
inline std::vector<int16_t> toPcm16(std::span<const double> signal) {
  std::vector<int16_t> out;
  out.reserve(signal.size());
  for (const double v : signal) {
    out.push_back(static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0)));
  }
  return out;
}

}  // namespace testsignal
