// Generated recordings with an exactly known fundamental at every instant, for measuring pitch
// accuracy: instrument tones, melodies, glides, steady tones, noises and a synthetic voice, at
// any sample rate. Everything comes from fixed seeds and closed-form contours.
//
// Truth is given per 32 ms frame at the frame's centre: the fundamental in Hz, 0 where no tone
// sounds, or kExcluded where the centre lies within 20 ms of a tone's start or end (or of a
// change of note in legato), which no score counts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace measure {

inline constexpr double kExcluded = -1;
inline constexpr double kFrameSeconds = 0.032;

struct Material {
  std::string name;
  int32_t rate = 8000;
  std::vector<double> samples;  // full scale -1..1
  std::vector<double> truthHz;  // one per whole 32 ms frame
};

// How the harmonics of a tone are weighted.
enum class Timbre { kSaw, kSquare, kReed, kSine, kVowelA, kVowelI, kVowelU, kHum };

// One stretch of a recording: `seconds` long, fundamental f0(t) for t in 0..seconds (Hz) or
// silence when `silent`, with an attack and release of `fadeSeconds`.
struct Segment {
  double seconds = 0;
  bool silent = false;
  double startHz = 0, endHz = 0;  // exponential glide from start to end
  double vibratoDepth = 0;        // peak relative deviation
  double vibratoHz = 5.5;
  Timbre timbre = Timbre::kSaw;
  double fadeSeconds = 0.01;
  bool joined = false;  // continues the previous tone without a new attack (legato)
  double level = 0.3;   // peak of the harmonic sum, roughly
};

// Synthesises the segments at `rate` Hz with their truth.
Material synthesise(const std::string& name, int32_t rate, const std::vector<Segment>& segments);

// The materials measured.
Material instrumentTones(Timbre timbre, int32_t rate);  // C2..B5, silence between notes
Material legatoMelody(int32_t rate);
Material glides(int32_t rate);
Material steadySine(int32_t rate, double hz);
enum class NoiseColour { kWhite, kPink, kBrown, kBand };
Material noise(NoiseColour colour, int32_t rate, double peakDb, uint32_t seed);
Material sungVoice(int32_t rate);
Material hummedVoice(int32_t rate);
Material spokenVoice(int32_t rate, uint32_t seed);

// Degradations: white noise at `snrDb` below the power of the voiced frames, a small room
// (exponentially decaying noise response of `seconds`), a peak level in dBFS.
Material withNoise(Material m, double snrDb, uint32_t seed);
Material inRoom(Material m, double seconds, uint32_t seed);
Material atPeakLevel(Material m, double peakDb);

// 16-bit samples (full scale 32767, clipped).
std::vector<int16_t> toPcm(const Material& m);

}  // namespace measure
