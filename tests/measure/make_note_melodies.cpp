// Writes the generated melodies of note_melodies as WAV files with their note truth, clean, at
// 20 and 10 dB SNR and in a small room (0.3 s), for measure_notes.py; with --speed, measures what
// the note segmentation costs over the precise analysis alone.
//
// Run: build/tests/make_note_melodies OUTDIR
//      build/tests/make_note_melodies --speed
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "measure/note_melodies.h"
#include "measure/peer_trackers.h"
#include "pipeline/note_segmenter.h"
#include "pipeline/precise_analysis.h"

namespace {

constexpr int32_t kRate = 44100;

std::string fileName(std::string name) {
  for (char& c : name) {
    if (c == ' ' || c == ',' || c == '@') c = '_';
  }
  return name;
}

void writeTruth(const std::string& path, const std::vector<measure::NoteTruth>& notes) {
  std::ofstream out(path);
  out << "onset,offset,note\n";
  for (const measure::NoteTruth& n : notes) {
    out << n.onset << ',' << n.offset << ',' << n.midi << '\n';
  }
}

void writeMelodies(const std::string& folder) {
  for (const measure::Melody& melody : measure::noteMelodies(kRate)) {
    const measure::Material variants[] = {
        melody.material, measure::withNoise(melody.material, 20, 5),
        measure::withNoise(melody.material, 10, 5), measure::inRoom(melody.material, 0.3, 9)};
    for (const measure::Material& m : variants) {
      const std::string base = folder + "/" + fileName(m.name);
      measure::writeWave(base + ".wav", measure::toPcm(m), m.rate);
      writeTruth(base + ".truth.csv", melody.notes);
      std::printf("%s\n", base.c_str());
    }
  }
}

// CPU time of `run` over `rounds` rounds, the fastest round.
template <typename Run>
double fastest(int rounds, Run run) {
  double best = 1e9;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

void measureSpeed() {
  std::vector<int16_t> all;
  for (const measure::Melody& melody : measure::noteMelodies(kRate)) {
    const auto pcm = measure::toPcm(melody.material);
    all.insert(all.end(), pcm.begin(), pcm.end());
  }
  size_t notes = 0;
  const auto analyse = [&] {
    pitchtrack::PreciseAnalysis analysis(kRate);
    analysis.push(all);
    analysis.finish();
  };
  const auto analyseWithNotes = [&] {
    pitchtrack::pipeline::NoteSegmenter segmenter({}, [&](const pitchtrack::Note&) { ++notes; });
    pitchtrack::PreciseAnalysis analysis(
        kRate, 16, [&](int64_t i, const pitchtrack::PreciseFrame& f) { segmenter.push(i, f); });
    analysis.push(all);
    analysis.finish();
    segmenter.finish();
  };
  double alone = 1e9;
  double withNotes = 1e9;
  for (int round = 0; round < 10; ++round) {  // alternated, so that drift hits both alike
    alone = std::min(alone, fastest(1, analyse));
    withNotes = std::min(withNotes, fastest(1, analyseWithNotes));
  }
  const std::vector<pitchtrack::PreciseFrame> frames = pitchtrack::analysePrecise(all, kRate);
  const double segmenting =
      fastest(10, [&] { notes += pitchtrack::pipeline::segmentNotes(frames).size(); });
  const double audio = static_cast<double>(all.size()) / kRate;
  std::printf(
      "%.0f s of melodies at %d Hz, fastest of 10 runs: precise analysis %.4f s, with notes "
      "%.4f s (%+.1f %%); segmenting its %zu frames alone %.5f s (%.2f %% of the analysis)\n",
      audio, kRate, alone, withNotes, 100 * (withNotes / alone - 1), frames.size(), segmenting,
      100 * segmenting / alone);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_note_melodies OUTDIR | --speed\n");
    return 2;
  }
  if (std::string(argv[1]) == "--speed") {
    measureSpeed();
  } else {
    writeMelodies(argv[1]);
  }
  return 0;
}
