// Writes the example recording: a hummed melody synthesised as a voice-like tone.
//
// The melody is the opening of a children's song in C major, hummed low (C3 C3 G3 G3 A3 A3 G3, F3
// F3 E3 E3 D3 D3 C3), sung on a vowel: each note is a harmonic-rich tone (twelve harmonics falling
// off like a glottal source, with a gentle formant bump around 700 Hz) with smooth onsets and
// releases, a slight vibrato, and a faint deterministic breath noise. Half a second of silence
// stands before and after the melody, and short pauses between the notes.
//
// Usage: make_example out.wav   (8000 Hz, 16-bit mono PCM)
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <vector>

#include "support/signals.h"

namespace {

constexpr int kRate = 8000;

struct Note {
  int semitone;    // 60 = C4, 69 = A4 (440 Hz)
  double seconds;  // sounding length, pause excluded
};

constexpr std::array<Note, 14> kMelody = {{{48, 0.4},
                                           {48, 0.4},
                                           {55, 0.4},
                                           {55, 0.4},
                                           {57, 0.4},
                                           {57, 0.4},
                                           {55, 0.8},
                                           {53, 0.4},
                                           {53, 0.4},
                                           {52, 0.4},
                                           {52, 0.4},
                                           {50, 0.4},
                                           {50, 0.4},
                                           {48, 0.8}}};

constexpr double kPauseSeconds = 0.12;
constexpr double kEdgeSeconds = 0.5;

// Amplitude of harmonic k: a 1/k source slope with a bump near the first formant.
double harmonicWeight(int k, double f0) {
  const double formant = 700.0;
  const double distance = (k * f0 - formant) / 300.0;
  return (1.0 / k) * (1.0 + 1.5 * std::exp(-distance * distance));
}

// Raised-cosine onset and release of 40 ms.
double envelope(double t, double length) {
  const double ramp = 0.04;
  if (t < ramp) return 0.5 - 0.5 * std::cos(std::numbers::pi * t / ramp);
  if (t > length - ramp) return 0.5 - 0.5 * std::cos(std::numbers::pi * (length - t) / ramp);
  return 1.0;
}

// Deterministic white noise in [-1, 1] from a linear congruential generator.
double breath(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return static_cast<double>(state >> 8) / 8388608.0 - 1.0;
}

void appendSilence(std::vector<double>& out, double seconds) {
  out.insert(out.end(), static_cast<size_t>(seconds * kRate), 0.0);
}

// One sung note: twelve shaped harmonics with a 5.5 Hz vibrato of 0.4%, enveloped, over breath.
void appendNote(std::vector<double>& out, const Note& note, uint32_t& noise) {
  testsignal::Oscillator singer{{.frequency = testsignal::semitoneHz(note.semitone),
                                 .rate = kRate,
                                 .amplitude = 0.35,
                                 .harmonics = 12,
                                 .weight = harmonicWeight,
                                 .vibratoDepth = 0.004,
                                 .vibratoHz = 5.5}};
  const auto count = static_cast<size_t>(note.seconds * kRate);
  for (size_t i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) / kRate;
    out.push_back(singer.next() * envelope(t, note.seconds) + 0.004 * breath(noise));
  }
}

void putLittleEndian(std::FILE* file, uint32_t value, int bytes) {
  for (int b = 0; b < bytes; ++b) std::fputc(static_cast<int>((value >> (8 * b)) & 0xFF), file);
}

bool writeWave(const char* path, const std::vector<int16_t>& samples) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::fputs("RIFF", file);
  putLittleEndian(file, 36 + dataBytes, 4);
  std::fputs("WAVEfmt ", file);
  putLittleEndian(file, 16, 4);
  putLittleEndian(file, 1, 2);  // PCM
  putLittleEndian(file, 1, 2);  // mono
  putLittleEndian(file, kRate, 4);
  putLittleEndian(file, kRate * 2, 4);
  putLittleEndian(file, 2, 2);
  putLittleEndian(file, 16, 2);
  std::fputs("data", file);
  putLittleEndian(file, dataBytes, 4);
  for (const int16_t s : samples) putLittleEndian(file, static_cast<uint16_t>(s), 2);
  return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s out.wav\n", argv[0]);
    return 2;
  }
  std::vector<double> melody;
  uint32_t noise = 12345;
  appendSilence(melody, kEdgeSeconds);
  for (const Note& note : kMelody) {
    appendNote(melody, note, noise);
    appendSilence(melody, kPauseSeconds);
  }
  appendSilence(melody, kEdgeSeconds - kPauseSeconds);
  if (!writeWave(argv[1], testsignal::toPcm16(melody))) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
