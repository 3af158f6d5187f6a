#include "test_recordings.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "support/signals.h"

namespace measure {

namespace {

constexpr double kNoteSeconds = 0.45;
constexpr double kRestSeconds = 0.25;
constexpr double kEdgeSeconds = 0.4;
constexpr double kAmplitude = 0.25;  // of the harmonic sum: peaks near -3 dBFS
constexpr double kFadeSeconds = 0.01;

// Approximately normal noise of unit variance from the sum of 12 uniform values: the same on
// every platform, unlike std::normal_distribution.
struct Gaussian {
  explicit Gaussian(uint32_t seed) : engine(seed) {}
  double next() {
    double sum = 0;
    for (int i = 0; i < 12; ++i) sum += static_cast<double>(engine()) / 4294967296.0;
    return sum - 6;
  }
  std::mt19937 engine;
};

void appendSilence(Recording& r, double seconds) {
  r.samples.insert(r.samples.end(), static_cast<size_t>(seconds * kRate), 0.0);
}

void appendNote(Recording& r, testsignal::Oscillator& voice, int32_t semitone,
                std::vector<std::pair<size_t, int32_t>>& spans) {
  voice.voice.frequency = testsignal::semitoneHz(semitone);
  const auto count = static_cast<size_t>(kNoteSeconds * kRate);
  const auto fade = static_cast<double>(kFadeSeconds * kRate);
  spans.emplace_back(r.samples.size(), semitone);
  for (size_t n = 0; n < count; ++n) {
    const double edge = std::min(static_cast<double>(n), static_cast<double>(count - 1 - n));
    r.samples.push_back(voice.next() * std::min(1.0, edge / fade));
  }
}

std::vector<FrameTruth> truthOf(size_t length,
                                const std::vector<std::pair<size_t, int32_t>>& notes) {
  const size_t noteLength = static_cast<size_t>(kNoteSeconds * kRate);
  std::vector<FrameTruth> truth(length / kFrame);
  for (size_t f = 0; f < truth.size(); ++f) {
    const size_t begin = f * kFrame;
    const size_t end = begin + kFrame;
    for (const auto& [start, semitone] : notes) {
      if (end <= start || begin >= start + noteLength) continue;
      const bool inside = begin >= start && end <= start + noteLength;
      truth[f] = inside ? FrameTruth{FrameTruth::kVoiced, semitone} : FrameTruth{FrameTruth::kEdge};
    }
  }
  return truth;
}

double peakOf(const std::vector<double>& samples) {
  double peak = 0;
  for (const double v : samples) peak = std::max(peak, std::abs(v));
  return peak;
}

}  // namespace

Recording sungPhrase(const std::string& name, const std::vector<int32_t>& semitones,
                     double gapSeconds, size_t finalNotes) {
  Recording r{name, {}, {}};
  testsignal::Oscillator voice{
      .voice = {.rate = kRate, .amplitude = kAmplitude, .vibratoDepth = 0.01, .vibratoHz = 5.5}};
  std::vector<std::pair<size_t, int32_t>> notes;
  appendSilence(r, kEdgeSeconds);
  for (size_t i = 0; i < semitones.size(); ++i) {
    if (i > 0) {
      const bool gap = finalNotes > 0 && i == semitones.size() - finalNotes;
      appendSilence(r, gap ? gapSeconds : kRestSeconds);
    }
    appendNote(r, voice, semitones[i], notes);
  }
  appendSilence(r, kEdgeSeconds);
  r.truth = truthOf(r.samples.size(), notes);
  return r;
}

Recording withNoise(Recording recording, double snrDb, uint32_t seed) {
  double power = 0;
  size_t voiced = 0;
  for (size_t f = 0; f < recording.truth.size(); ++f) {
    if (recording.truth[f].kind != FrameTruth::kVoiced) continue;
    for (size_t n = f * kFrame; n < (f + 1) * kFrame; ++n)
      power += recording.samples[n] * recording.samples[n];
    voiced += kFrame;
  }
  const double sigma = std::sqrt(power / static_cast<double>(voiced) / std::pow(10.0, snrDb / 10));
  Gaussian noise(seed);
  for (double& v : recording.samples) v += sigma * noise.next();
  recording.name += ", " + std::to_string(static_cast<int>(snrDb)) + " dB SNR";
  return recording;
}

Recording reverberant(Recording recording, double rt60, uint32_t seed) {
  const auto length = static_cast<size_t>(rt60 * kRate);
  std::vector<double> tail(length);
  Gaussian noise(seed);
  double energy = 0;
  for (size_t n = 0; n < length; ++n) {
    tail[n] =
        noise.next() * std::pow(10.0, -3.0 * static_cast<double>(n) / static_cast<double>(length));
    energy += tail[n] * tail[n];
  }
  for (double& v : tail) v /= std::sqrt(energy);
  const double peak = peakOf(recording.samples);
  std::vector<double> wet(recording.samples.size(), 0.0);
  for (size_t n = 0; n < wet.size(); ++n) {
    if (recording.samples[n] == 0) continue;
    wet[n] += recording.samples[n];
    for (size_t k = 0; k < length && n + 1 + k < wet.size(); ++k) {
      wet[n + 1 + k] += recording.samples[n] * tail[k];
    }
  }
  const double scale = peak / peakOf(wet);
  for (double& v : wet) v *= scale;
  recording.samples = std::move(wet);
  recording.name += ", reverberant";
  return recording;
}

Recording atPeak(Recording recording, double peakDb) {
  const double scale = std::pow(10.0, peakDb / 20) / peakOf(recording.samples);
  for (double& v : recording.samples) v *= scale;
  recording.name += ", peak " + std::to_string(static_cast<int>(peakDb)) + " dBFS";
  return recording;
}

Recording noiseOnly(const std::string& name, double seconds, double peakDb, uint32_t seed) {
  Recording r{name, std::vector<double>(static_cast<size_t>(seconds * kRate)), {}};
  Gaussian noise(seed);
  for (double& v : r.samples) v = noise.next();
  r.truth.assign(r.samples.size() / kFrame, FrameTruth{FrameTruth::kUnvoiced});
  return atPeak(std::move(r), peakDb);
}

std::vector<int16_t> pcm16(const Recording& recording) {
  return testsignal::toPcm16(recording.samples);
}

}  // namespace measure
