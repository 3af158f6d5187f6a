// Recordings with a known pitch in every frame, for measuring the voicing and the pitch of the
// analysis under noise, reverberation, low level and long pauses. Everything is generated from
// fixed seeds, so every run measures the same samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace measure {

inline constexpr int32_t kRate = 8000;
inline constexpr int32_t kFrame = 256;  // one contour frame at 8000 Hz

// One frame's truth: voiced with a semitone, unvoiced, or a frame that straddles a note's edge
// (left out of every count).
struct FrameTruth {
  enum Kind { kVoiced, kUnvoiced, kEdge } kind = kUnvoiced;
  int32_t semitone = 0;
};

struct Recording {
  std::string name;
  std::vector<double> samples;  // full scale -1..1
  std::vector<FrameTruth> truth;
};

// A sung phrase: notes of a voice with vibrato, separated by rests; `gap` seconds of silence
// before the last `finalNotes` notes (0: an ordinary rest).
Recording sungPhrase(const std::string& name, const std::vector<int32_t>& semitones,
                     double gapSeconds = 0, size_t finalNotes = 0);

// The same recording with white noise added at `snrDb` below the voiced samples' power.
Recording withNoise(Recording recording, double snrDb, uint32_t seed);

// The recording through a synthetic room: an exponentially decaying noise tail of `rt60`
// seconds as loud as the direct sound, the result brought back to the original peak.
Recording reverberant(Recording recording, double rt60, uint32_t seed);

// The recording scaled so that its peak is `peakDb` dB below full scale.
Recording atPeak(Recording recording, double peakDb);

// `seconds` of white noise with its peak at `peakDb` below full scale; every frame unvoiced.
Recording noiseOnly(const std::string& name, double seconds, double peakDb, uint32_t seed);

// 16-bit samples of full scale 32767 (clipped beyond -1..1).
std::vector<int16_t> pcm16(const Recording& recording);

}  // namespace measure
