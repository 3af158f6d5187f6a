// Writes the example recordings of the README's "What the analysis does to your recording"
// into the folder given, one WAV file per point (docs/make_pictures.sh draws them).
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "measure/note_melodies.h"
#include "support/analysis_examples.h"
#include "support/wav_image.h"

namespace {

using Samples = std::vector<int16_t>;

void append(Samples& out, const Samples& more) { out.insert(out.end(), more.begin(), more.end()); }

// One note without the silence around it.
Samples tone(double semitone, double seconds) {
  const Samples out = examples::notes({semitone}, seconds);
  const auto edge = static_cast<ptrdiff_t>(0.3 * examples::kRate);
  return Samples(out.begin() + edge, out.end() - edge);
}

Samples silence(double seconds) {
  return Samples(static_cast<size_t>(seconds * examples::kRate), 0);
}

// A 40 ms note between two long ones: too short for the detector's minimum length.
Samples shortNote() {
  Samples out = silence(0.3);
  for (const Samples& piece :
       {tone(57, 0.4), silence(0.2), tone(60, 0.04), silence(0.2), tone(62, 0.4), silence(0.3)}) {
    append(out, piece);
  }
  return out;
}

// A bright instrument-like tone: a sawtooth of every harmonic below 7 kHz (harmonic k at 1/k).
Samples sawtooth(double semitone, double seconds) {
  const double f0 = 440.0 * std::pow(2.0, (semitone - 69) / 12);
  Samples out;
  for (int n = 0; n < static_cast<int>(seconds * examples::kRate); ++n) {
    double v = 0;
    for (int k = 1; k * f0 < 7000; ++k) {
      v += std::sin(2 * std::numbers::pi * k * f0 * n / examples::kRate) / k;
    }
    out.push_back(static_cast<int16_t>(std::lround(5000 * v)));
  }
  return out;
}

// A melody of sawtooth notes, 0.5 s each with 0.1 s between them.
Samples brightMelody() {
  Samples out = silence(0.3);
  for (const double semitone : {73, 77, 80, 68, 61}) {
    append(out, sawtooth(semitone, 0.5));
    append(out, silence(0.1));
  }
  append(out, silence(0.2));
  return out;
}

// A sung phrase for the notes: steps, a glide into a note, a repeated note after a voiced
// consonant, legato and a held note with vibrato.
Samples sungPhrase() {
  using measure::Join;
  const measure::Melody melody = measure::synthesiseMelody(
      "sung", examples::kRate, measure::Timbre::kVowelA,
      {{.midi = 60, .seconds = 0.4},
       {.midi = 64, .seconds = 0.4, .scoopSemitones = 2},
       {.midi = 64, .seconds = 0.4, .join = Join::kVoicedConsonant, .pauseSeconds = 0.06},
       {.midi = 67, .seconds = 0.4, .join = Join::kLegato},
       {.midi = 65, .seconds = 0.3, .join = Join::kLegato},
       {.midi = 62, .seconds = 1.0, .pauseSeconds = 0.2, .vibratoSemitones = 0.7}});
  return measure::toPcm(melody.material);
}

// Three seconds of one loud tone without any silence.
Samples steadyTone() { return tone(57, 3.0); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const std::vector<std::pair<std::string, Samples>> recordings = {
      {"range", examples::notes({45, 45, 60, 60, 75, 75}, 0.3)},
      {"truncation", examples::notes({57, 57.25, 57.5, 57.75, 58}, 0.3)},
      {"quiet", examples::scaled(examples::notes({48, 52, 55, 57}), 0.018)},
      {"noise", examples::whiteNoise(3, 10362)},
      {"steady", steadyTone()},
      {"final_gap", examples::notes({57, 59, 60, 62, 64}, 0.4, 0.2, 1.2)},
      {"short_note", shortNote()},
      {"bright", brightMelody()},
      {"sung", sungPhrase()},
  };
  for (const auto& [name, samples] : recordings) {
    testwav::writeFile(folder / (name + ".wav"), testwav::pcmWave(samples));
  }
  return 0;
}
