// Prints, as a Markdown table, how well the analysis finds the voiced frames and their pitch in
// generated recordings of known pitch: by default and with --voicing=strict --normalize.
//
//   recall        voiced frames that got a pitch
//   false alarms  unvoiced frames that got a pitch
//   accuracy      pitched voiced frames whose value is the note or the semitone below it (the
//                 value is truncated, so a note sung a hair flat reads one semitone low)
//
// Frames that straddle a note's edge count nowhere. Run: build/tests/measure_voicing
#include <cstdio>
#include <string>
#include <vector>

#include "pitchtrack/pitchtrack.h"
#include "test_recordings.h"

namespace {

using measure::FrameTruth;
using measure::Recording;

struct Counts {
  int64_t voiced = 0, hits = 0, unvoiced = 0, falseAlarms = 0, accurate = 0;
};

Counts score(const Recording& recording, const pitchtrack::Contour& contour) {
  Counts c;
  for (size_t f = 0; f < recording.truth.size(); ++f) {
    const FrameTruth& truth = recording.truth[f];
    const auto i = static_cast<int64_t>(f) - contour.firstFrame;
    const int32_t value = i >= 0 && i < static_cast<int64_t>(contour.size())
                              ? contour.values[static_cast<size_t>(i)]
                              : 0;
    if (truth.kind == FrameTruth::kUnvoiced) {
      ++c.unvoiced;
      c.falseAlarms += value != 0 ? 1 : 0;
    } else if (truth.kind == FrameTruth::kVoiced) {
      ++c.voiced;
      if (value == 0) continue;
      ++c.hits;
      const int32_t semitone = value / 10;
      c.accurate += semitone == truth.semitone || semitone == truth.semitone - 1 ? 1 : 0;
    }
  }
  return c;
}

std::string percent(int64_t part, int64_t whole) {
  if (whole == 0) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.1f %%",
                100.0 * static_cast<double>(part) / static_cast<double>(whole));
  return text;
}

std::string cells(const Counts& c) {
  return percent(c.hits, c.voiced) + " | " + percent(c.falseAlarms, c.unvoiced) + " | " +
         percent(c.accurate, c.hits);
}

pitchtrack::Contour run(const Recording& recording, bool remedies) {
  pitchtrack::Options options;
  if (remedies) {
    options.normalize = true;
    options.voicing = pitchtrack::Voicing::kStrict;
  }
  return pitchtrack::track(measure::pcm16(recording), measure::kRate, 16, options);
}

}  // namespace

int main() {
  const std::vector<int32_t> melody = {48, 52, 55, 57, 60, 62, 64, 67, 65, 60};
  const Recording sung = measure::sungPhrase("sung phrase", melody);
  const Recording quiet = measure::atPeak(sung, -40);
  const Recording late =
      measure::sungPhrase("last note after 1.2 s of silence", {55, 57, 60, 55, 52}, 1.2, 1);
  const std::vector<Recording> recordings = {
      sung,
      measure::withNoise(sung, 20, 1),
      measure::withNoise(sung, 10, 2),
      measure::reverberant(sung, 0.4, 3),
      quiet,
      measure::noiseOnly("noise only", 3, -10, 4),
      measure::noiseOnly("noise only", 3, -30, 5),
      measure::noiseOnly("noise only", 3, -50, 6),
      late,
  };
  std::printf(
      "| recording | recall | false alarms | accuracy | strict: recall | false alarms | "
      "accuracy |\n|---|---|---|---|---|---|---|\n");
  for (const Recording& r : recordings) {
    std::printf("| %s | %s | %s |\n", r.name.c_str(), cells(score(r, run(r, false))).c_str(),
                cells(score(r, run(r, true))).c_str());
  }
  for (const bool remedies : {false, true}) {
    std::printf(
        "\nquiet (-40 dBFS) %s the same contour as at full level%s\n",
        run(quiet, remedies).values == run(sung, remedies).values ? "gives" : "does not give",
        remedies ? " with --voicing=strict --normalize" : " by default");
  }
  pitchtrack::Options keep;
  keep.keepFinal = true;
  const Counts kept =
      score(late, pitchtrack::track(measure::pcm16(late), measure::kRate, 16, keep));
  std::printf("\nlast note after 1.2 s of silence with --keep-final: recall %s\n",
              percent(kept.hits, kept.voiced).c_str());
  return 0;
}
