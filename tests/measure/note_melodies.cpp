#include "note_melodies.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace measure {

namespace {

constexpr double kLeadSeconds = 0.3;
constexpr double kPortamentoSeconds = 0.08;
constexpr double kScoopSeconds = 0.08;
constexpr double kVoicedConsonantGain = 0.08;  // about -22 dB

double hzOf(double midi) { return 440 * std::pow(2.0, (midi - 69) / 12); }

double vibratoDepth(double semitones) { return std::pow(2.0, semitones / 12) - 1; }

// The segments of one melody and its truth, built note by note.
struct Builder {
  Timbre timbre = Timbre::kVowelA;
  std::vector<Segment> segments{{.seconds = kLeadSeconds, .silent = true}};
  std::vector<NoteTruth> truth;
  double now = kLeadSeconds;
  std::vector<double> bursts;  // starts of the noise bursts of unvoiced consonants

  void add(Segment s) {
    s.timbre = timbre;
    s.fadeSeconds = 0.02;
    segments.push_back(s);
    now += s.seconds;
  }
  void pause(double seconds) {
    segments.push_back({.seconds = seconds, .silent = true});
    now += seconds;
  }
  void note(const MelodyNote& n, const MelodyNote* previous);
};

void Builder::note(const MelodyNote& n, const MelodyNote* previous) {
  const double hz = hzOf(n.midi + n.detuneCents / 100);
  const double vibrato = vibratoDepth(n.vibratoSemitones);
  double onset = now;
  bool joined = previous != nullptr && n.join != Join::kGap && n.join != Join::kUnvoicedConsonant;
  if (previous != nullptr && n.join == Join::kGap) {
    pause(n.pauseSeconds);
    onset = now;
  } else if (previous != nullptr && n.join == Join::kUnvoicedConsonant) {
    bursts.push_back(now + 0.2 * n.pauseSeconds);
    pause(n.pauseSeconds);
    onset = now;
  } else if (previous != nullptr && n.join == Join::kVoicedConsonant) {
    const double before = hzOf(previous->midi + previous->detuneCents / 100);
    add({.seconds = n.pauseSeconds,
         .startHz = before,
         .endHz = before,
         .joined = true,
         .level = kVoicedConsonantGain * previous->level});
    onset = now;
  } else if (previous != nullptr && n.join == Join::kLegato) {
    add({.seconds = kPortamentoSeconds,
         .startHz = hzOf(previous->midi),
         .endHz = hz,
         .joined = true,
         .level = n.level});
    onset = now - kPortamentoSeconds / 2;
    truth.back().offset = onset;
  }
  if (n.scoopSemitones > 0 && !joined) {
    add({.seconds = kScoopSeconds,
         .startHz = hzOf(n.midi - n.scoopSemitones),
         .endHz = hz,
         .level = n.level});
    joined = true;
  }
  add({.seconds = n.seconds - (now - onset),
       .startHz = hz,
       .endHz = hz,
       .vibratoDepth = vibrato,
       .joined = joined,
       .level = n.level});
  truth.push_back({onset, now, n.midi});
}

// Adds a short noise burst (a "t" or "k") at each of `starts`.
void addBursts(Material& m, const std::vector<double>& starts, uint32_t seed) {
  std::mt19937 engine(seed);
  for (const double start : starts) {
    const auto first = static_cast<size_t>(start * m.rate);
    const auto count = static_cast<size_t>(0.03 * m.rate);
    for (size_t n = 0; n < count && first + n < m.samples.size(); ++n) {
      const double white = static_cast<double>(engine()) / 4294967296.0 - 0.5;
      m.samples[first + n] += 0.05 * white;
    }
  }
}

// A random melody of `count` notes in midi range [low, high] with the given mix of joins.
std::vector<MelodyNote> randomMelody(uint32_t seed, int32_t count, int32_t low, int32_t high,
                                     const std::vector<Join>& joins, double vibrato,
                                     bool staccato) {
  std::mt19937 engine(seed);
  const auto pick = [&engine](int32_t n) { return static_cast<int32_t>(engine() % n); };
  const int32_t steps[] = {-5, -4, -3, -2, -1, 1, 2, 3, 4, 5, 7, -7};
  std::vector<MelodyNote> notes;
  int32_t midi = (low + high) / 2;
  for (int32_t i = 0; i < count; ++i) {
    MelodyNote n;
    n.join = joins[static_cast<size_t>(pick(static_cast<int32_t>(joins.size())))];
    const bool repeat =
        n.join == Join::kVoicedConsonant || (n.join == Join::kUnvoicedConsonant && pick(2) == 0);
    const int32_t previous = midi;
    if (!repeat) midi = std::clamp(midi + steps[pick(12)], low, high);
    if (!repeat && midi == previous) midi += midi == high ? -2 : 2;  // the clamp kept it
    n.midi = midi;
    n.seconds = staccato ? 0.14 + 0.02 * pick(4) : 0.25 + 0.05 * pick(10);
    n.pauseSeconds = n.join == Join::kGap      ? 0.1 + 0.05 * pick(4)
                     : n.join == Join::kLegato ? 0
                                               : 0.05 + 0.01 * pick(4);
    n.vibratoSemitones = n.seconds >= 0.4 ? vibrato : 0;
    n.scoopSemitones = n.join == Join::kGap && pick(3) == 0 ? 1 + pick(2) : 0;
    n.vibratoHz = 4.5 + 0.25 * pick(9);
    n.detuneCents = -30 + 5 * pick(13);
    n.level = 0.12 + 0.04 * pick(6);
    notes.push_back(n);
  }
  notes.front().join = Join::kGap;
  return notes;
}

}  // namespace

Melody synthesiseMelody(const std::string& name, int32_t rate, Timbre timbre,
                        const std::vector<MelodyNote>& notes) {
  Builder builder;
  builder.timbre = timbre;
  for (size_t i = 0; i < notes.size(); ++i) {
    builder.note(notes[i], i == 0 ? nullptr : &notes[i - 1]);
  }
  builder.pause(0.3);
  Melody melody{synthesise(name, rate, builder.segments), std::move(builder.truth)};
  addBursts(melody.material, builder.bursts, 11);
  return melody;
}

std::vector<Melody> noteMelodies(int32_t rate) {
  using enum Join;
  struct Kind {
    const char* name;
    Timbre timbre;
    int32_t low, high;
    std::vector<Join> joins;
    double vibrato;
    bool staccato;
  };
  const Kind kinds[] = {
      {"sung steps", Timbre::kVowelA, 50, 74, {kGap, kGap, kLegato}, 0, false},
      {"sung repeats",
       Timbre::kVowelI,
       50,
       74,
       {kVoicedConsonant, kUnvoicedConsonant, kGap},
       0,
       false},
      {"sung legato", Timbre::kVowelU, 48, 72, {kLegato, kLegato, kLegato, kGap}, 0, false},
      {"sung vibrato", Timbre::kVowelA, 50, 74, {kGap, kLegato, kVoicedConsonant}, 0.7, false},
      {"sung staccato", Timbre::kVowelI, 55, 76, {kGap}, 0, true},
      {"hummed steps", Timbre::kHum, 43, 67, {kGap, kLegato, kUnvoicedConsonant}, 0.3, false},
      {"hummed repeats", Timbre::kHum, 43, 67, {kVoicedConsonant, kGap, kLegato}, 0, false},
      {"hummed legato", Timbre::kHum, 45, 65, {kLegato, kLegato, kGap}, 0.5, false},
  };
  std::vector<Melody> melodies;
  uint32_t seed = 100;
  for (const Kind& kind : kinds) {
    const auto notes =
        randomMelody(seed++, 24, kind.low, kind.high, kind.joins, kind.vibrato, kind.staccato);
    melodies.push_back(synthesiseMelody(kind.name, rate, kind.timbre, notes));
  }
  return melodies;
}

Melody heldVibrato(int32_t rate) {
  return synthesiseMelody("held vibrato", rate, Timbre::kVowelA,
                          {{.midi = 62, .seconds = 2.0, .vibratoSemitones = 0.7}});
}

Melody repeatedNote(int32_t rate) {
  return synthesiseMelody(
      "repeated note", rate, Timbre::kVowelA,
      {{.midi = 64, .seconds = 0.5},
       {.midi = 64, .seconds = 0.5, .join = Join::kVoicedConsonant, .pauseSeconds = 0.05}});
}

}  // namespace measure
