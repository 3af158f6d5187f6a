// Note segmentation: a table of frame sequences with the notes they make, a table of generated
// melodies with their exact notes, and the streaming promise (a note is final within 0.3 s of
// its end and a live stream gives the notes of the whole file).
#include "pipeline/note_segmenter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "measure/note_melodies.h"
#include "pipeline/precise_analysis.h"
#include "pitchtrack/pitchtrack.h"

namespace pitchtrack::pipeline {
namespace {

// `count` frames at `tenths` (0: no pitch) and `db` dBFS.
struct FrameRun {
  int32_t count;
  int32_t tenths;
  double db = -10;
};

std::vector<PreciseFrame> framesOf(const std::vector<FrameRun>& runs) {
  std::vector<PreciseFrame> frames;
  for (const FrameRun& run : runs) {
    for (int32_t i = 0; i < run.count; ++i) {
      const double hz = run.tenths == 0 ? 0 : 440 * std::pow(2.0, (run.tenths - 690) / 120.0);
      frames.push_back({hz, run.tenths, run.tenths == 0 ? 0 : 0.9,
                        32768.0 * 32768.0 * std::pow(10.0, run.db / 10)});
    }
  }
  return frames;
}

// A 5.5 Hz vibrato of +-`tenths` around 600 for `count` frames.
std::vector<FrameRun> vibrato(int32_t count, double tenths) {
  std::vector<FrameRun> runs;
  for (int32_t i = 0; i < count; ++i) {
    const double t = (i + 0.5) * 0.032;
    runs.push_back({1, 600 + static_cast<int32_t>(
                                 std::lround(tenths * std::sin(2 * std::numbers::pi * 5.5 * t)))});
  }
  return runs;
}

struct Expected {
  int64_t first, end;  // frames
  int32_t midi;
};

TEST(NoteSegmenter, FramesMakeTheNotesOfTheTable) {
  const struct {
    const char* name;
    std::vector<FrameRun> runs;
    std::vector<Expected> notes;
    double minNote = 0.1;
  } cases[] = {
      {"a gap parts the same pitch", {{10, 600}, {2, 0}, {10, 600}}, {{0, 10, 60}, {12, 22, 60}}},
      {"a step to another note", {{10, 600}, {10, 620}}, {{0, 10, 60}, {10, 20, 62}}},
      {"a semitone step", {{10, 600}, {10, 610}}, {{0, 10, 60}, {10, 20, 61}}},
      {"+-0.7 semitone vibrato is one note", vibrato(60, 7), {{0, 60, 60}}},
      {"+-1 semitone vibrato is one note", vibrato(60, 10), {{0, 60, 60}}},
      {"a level dip and rise parts the same pitch",
       {{10, 600}, {1, 600, -30}, {10, 600}},
       {{0, 10, 60}, {11, 21, 60}}},
      {"a shallow dip does not", {{10, 600}, {1, 600, -14}, {10, 600}}, {{0, 21, 60}}},
      {"a slow fade does not", {{5, 600, -6}, {5, 600, -12}, {5, 600, -18}}, {{0, 15, 60}}},
      {"a glide into a note joins it", {{1, 580}, {1, 590}, {10, 600}}, {{0, 12, 60}}},
      {"a fall shorter than a note joins the note", {{12, 600}, {4, 560}}, {{0, 16, 60}}, 0.2},
      {"a blip shorter than a note is dropped", {{2, 600}, {1, 0}, {10, 640}}, {{3, 13, 64}}},
      {"the shortest note is a setting", {{5, 600}, {1, 0}, {10, 620}}, {{6, 16, 62}}, 0.2},
  };
  for (const auto& c : cases) {
    const std::vector<Note> notes = segmentNotes(framesOf(c.runs), {c.minNote, 6});
    ASSERT_EQ(notes.size(), c.notes.size()) << c.name;
    for (size_t i = 0; i < notes.size(); ++i) {
      EXPECT_DOUBLE_EQ(notes[i].onsetSeconds, c.notes[i].first * 0.032) << c.name << " " << i;
      EXPECT_DOUBLE_EQ(notes[i].offsetSeconds, c.notes[i].end * 0.032) << c.name << " " << i;
      EXPECT_EQ(notes[i].midiNote, c.notes[i].midi) << c.name << " " << i;
      EXPECT_EQ(notes[i].frames, c.notes[i].end - c.notes[i].first) << c.name << " " << i;
    }
  }
}

TEST(NoteSegmenter, NotesCarryMedianPitchAndAbsoluteLevel) {
  const std::vector<Note> loud = segmentNotes(framesOf({{3, 603}, {5, 604}, {2, 620}}));
  ASSERT_EQ(loud.size(), 1u);
  EXPECT_NEAR(loud[0].cents, 40, 0.01);
  EXPECT_NEAR(loud[0].levelDb, -10, 0.01);
  EXPECT_EQ(loud[0].velocity, 106);  // 1 + 50 * 126 / 60, rounded
  EXPECT_EQ(segmentNotes(framesOf({{10, 600, -70}}))[0].velocity, 1);
  EXPECT_EQ(segmentNotes(framesOf({{10, 600, 0}}))[0].velocity, 127);
}

using measure::Join;
using measure::MelodyNote;

// The notes found in `melody` match its truth: the same notes, onsets and offsets within 50 ms.
void expectTruth(const measure::Melody& melody, const std::vector<Note>& notes) {
  const std::string& name = melody.material.name;
  ASSERT_EQ(notes.size(), melody.notes.size()) << name;
  for (size_t i = 0; i < notes.size(); ++i) {
    EXPECT_EQ(notes[i].midiNote, melody.notes[i].midi) << name << " note " << i;
    EXPECT_NEAR(notes[i].onsetSeconds, melody.notes[i].onset, 0.05) << name << " note " << i;
    EXPECT_NEAR(notes[i].offsetSeconds, melody.notes[i].offset, 0.05) << name << " note " << i;
  }
}

TEST(NoteSegmenter, GeneratedMelodiesGiveTheirNotes) {
  using measure::Timbre;
  const struct {
    const char* name;
    Timbre timbre;
    std::vector<MelodyNote> notes;
    double snrDb = 0;  // 0: clean
  } cases[] = {
      {"steps", Timbre::kVowelA, {{.midi = 60}, {.midi = 62}, {.midi = 67}, {.midi = 55}}},
      {"legato",
       Timbre::kVowelU,
       {{.midi = 60}, {.midi = 61, .join = Join::kLegato}, {.midi = 58, .join = Join::kLegato}}},
      {"repeats",
       Timbre::kVowelI,
       {{.midi = 64},
        {.midi = 64, .join = Join::kVoicedConsonant, .pauseSeconds = 0.05},
        {.midi = 64, .join = Join::kUnvoicedConsonant, .pauseSeconds = 0.06}}},
      {"held vibrato", Timbre::kVowelA, {{.midi = 62, .seconds = 2, .vibratoSemitones = 0.7}}},
      {"glides in",
       Timbre::kVowelA,
       {{.midi = 57, .scoopSemitones = 2}, {.midi = 59, .scoopSemitones = 1}}},
      {"staccato",
       Timbre::kVowelI,
       {{.midi = 67, .seconds = 0.14},
        {.midi = 69, .seconds = 0.14, .pauseSeconds = 0.1},
        {.midi = 71, .seconds = 0.14, .pauseSeconds = 0.1}}},
      {"hummed",
       Timbre::kHum,
       {{.midi = 48, .vibratoSemitones = 0.5},
        {.midi = 50, .join = Join::kLegato},
        {.midi = 50, .join = Join::kVoicedConsonant, .pauseSeconds = 0.06}},
       20},
  };
  for (const auto& c : cases) {
    measure::Melody melody = measure::synthesiseMelody(c.name, 16000, c.timbre, c.notes);
    if (c.snrDb > 0) melody.material = measure::withNoise(melody.material, c.snrDb, 3);
    expectTruth(melody, trackNotes(measure::toPcm(melody.material), 16000, 16));
  }
}

TEST(NoteSegmenter, StreamingGivesTheFileNotesEachFinalWithinThreeTenthsOfASecondOfItsEnd) {
  const int32_t rate = 16000;
  const measure::Melody melody = measure::noteMelodies(rate)[2];  // legato, repeats, vibrato
  const std::vector<int16_t> samples = measure::toPcm(melody.material);
  std::vector<Note> streamed;
  std::vector<double> heardAt;  // audio seconds pushed when each note came out
  size_t pushed = 0;
  NoteSegmenter segmenter({}, [&](const Note& note) {
    streamed.push_back(note);
    heardAt.push_back(static_cast<double>(pushed) / rate);
  });
  PreciseAnalysis analysis(rate, 16,
                           [&](int64_t i, const PreciseFrame& f) { segmenter.push(i, f); });
  constexpr size_t kBlock = 80;  // 5 ms
  for (; pushed < samples.size(); pushed = std::min(samples.size(), pushed + kBlock)) {
    const size_t count = std::min(kBlock, samples.size() - pushed);
    analysis.push(std::span(samples).subspan(pushed, count));
  }
  analysis.finish();
  segmenter.finish();
  const std::vector<Note> whole = trackNotes(samples.data(), samples.size(), rate, 16);
  ASSERT_EQ(streamed.size(), whole.size());
  ASSERT_GE(streamed.size(), 20u);
  for (size_t i = 0; i < streamed.size(); ++i) {
    EXPECT_EQ(streamed[i].onsetSeconds, whole[i].onsetSeconds) << i;
    EXPECT_EQ(streamed[i].offsetSeconds, whole[i].offsetSeconds) << i;
    EXPECT_EQ(streamed[i].midiNote, whole[i].midiNote) << i;
    EXPECT_LE(heardAt[i] - streamed[i].offsetSeconds, 0.3) << "note " << i;
  }
}

}  // namespace
}  // namespace pitchtrack::pipeline
