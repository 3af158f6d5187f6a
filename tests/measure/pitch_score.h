// Scores a pitch track (Hz per 32 ms frame, 0 = unvoiced) against a material's truth.
//
//   recall        truth-voiced frames given a pitch
//   false alarms  truth-unvoiced frames given a pitch
//   semitone, c50, c10   frames voiced in both whose pitch lies within 100, 50, 10 cents
//   octave        frames voiced in both whose pitch is off by whole octaves (within 100 cents)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace measure {

struct PitchScore {
  int64_t voiced = 0, hits = 0, unvoiced = 0, falseAlarms = 0;
  int64_t semitone = 0, octave = 0, c50 = 0, c10 = 0;

  void add(const std::vector<double>& truthHz, const std::vector<double>& trackHz);
  PitchScore& operator+=(const PitchScore& other);
  // "| recall | false alarms | semitone | octave | c50 | c10 |" cells, percentages.
  std::string cells() const;
};

}  // namespace measure
