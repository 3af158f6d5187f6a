#include "pitch_score.h"

#include <cmath>
#include <cstdio>

namespace measure {

namespace {

std::string percent(int64_t part, int64_t whole) {
  if (whole == 0) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.2f",
                100.0 * static_cast<double>(part) / static_cast<double>(whole));
  return text;
}

}  // namespace

void PitchScore::add(const std::vector<double>& truthHz, const std::vector<double>& trackHz) {
  for (size_t k = 0; k < truthHz.size(); ++k) {
    const double truth = truthHz[k];
    const double value = k < trackHz.size() ? trackHz[k] : 0;
    if (truth < 0) continue;  // near a tone's edge
    if (truth == 0) {
      ++unvoiced;
      falseAlarms += value > 0 ? 1 : 0;
      continue;
    }
    ++voiced;
    if (!(value > 0)) continue;
    ++hits;
    const double cents = 1200 * std::log2(value / truth);
    const double octaves = std::round(std::abs(cents) / 1200);
    semitone += std::abs(cents) <= 100 ? 1 : 0;
    c50 += std::abs(cents) <= 50 ? 1 : 0;
    c10 += std::abs(cents) <= 10 ? 1 : 0;
    octave += octaves >= 1 && std::abs(std::abs(cents) - 1200 * octaves) <= 100 ? 1 : 0;
  }
}

PitchScore& PitchScore::operator+=(const PitchScore& o) {
  voiced += o.voiced, hits += o.hits, unvoiced += o.unvoiced, falseAlarms += o.falseAlarms;
  semitone += o.semitone, octave += o.octave, c50 += o.c50, c10 += o.c10;
  return *this;
}

std::string PitchScore::cells() const {
  return percent(hits, voiced) + " | " + percent(falseAlarms, unvoiced) + " | " +
         percent(semitone, hits) + " | " + percent(octave, hits) + " | " + percent(c50, hits) +
         " | " + percent(c10, hits) + " |";
}

}  // namespace measure
