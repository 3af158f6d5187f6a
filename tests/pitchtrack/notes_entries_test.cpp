// Notes through every entry: the tool's --notes in each format to a file, to standard output
// and in corpus mode, the C++ and C entries, and pitchplot reading the CSV and JSON back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "measure/note_melodies.h"
#include "pitchtrack/pitchtrack.h"
#include "pitchtrack/pitchtrack_c.h"
#include "support/run_tool.h"
#include "support/shell.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"

namespace {

using testsupport::readFile;
using testsupport::runTool;

constexpr int32_t kRate = 16000;

class NotesEntries : public ::testing::Test {
 protected:
  void SetUp() override {
    using measure::Join;
    const measure::Melody melody = measure::synthesiseMelody(
        "phrase", kRate, measure::Timbre::kVowelA,
        {{.midi = 60},
         {.midi = 64, .join = Join::kLegato},
         {.midi = 64, .join = Join::kVoicedConsonant, .pauseSeconds = 0.05},
         {.midi = 57, .seconds = 0.6, .vibratoSemitones = 0.7}});
    samples_ = measure::toPcm(melody.material);
    std::filesystem::create_directories(work_.path("in/sub"));
    for (const char* name : {"in/a.wav", "in/sub/b.wav"}) {
      testwav::writeFile(work_.path(name), testwav::pcmWave(samples_, kRate));
    }
  }

  testsupport::TempDir work_;
  std::vector<int16_t> samples_;
};

TEST_F(NotesEntries, EachFormatSaysTheLibrarysNotesToAFileAndToStandardOutput) {
  const std::vector<pitchtrack::Note> notes = pitchtrack::trackNotes(samples_, kRate, 16);
  ASSERT_EQ(notes.size(), 4u);
  std::string lines;
  for (const pitchtrack::Note& n : notes) {
    char line[64];
    std::snprintf(line, sizeof line, "%.3f %.3f %d\n", n.onsetSeconds, n.offsetSeconds, n.midiNote);
    lines += line;
  }
  const struct {
    const char* options;
    std::string starts;
  } cases[] = {
      {"--notes", lines},
      {"--notes --format=csv", "onset,offset,note,cents,hz,frames,confidence,velocity\n" +
                                   lines.substr(0, 5) + "," + lines.substr(6, 5) + ",60,"},
      {"--notes --format=json",
       "{\"file\": \"in/a.wav\", \"notes\": [{\"onset\": " + lines.substr(0, 5) +
           ", \"offset\": " + lines.substr(6, 5) + ", \"note\": 60, \"cents\": "},
      {"--format=midi", std::string("MThd\0\0\0\x06\0\0\0\x01\x03\xe8MTrk", 18)},
  };
  for (const auto& c : cases) {
    const auto toFile = runTool(work_.root(), std::string(c.options) + " -q in/a.wav out");
    ASSERT_EQ(toFile.status, 0) << c.options << toFile.error;
    const auto toStdout = runTool(work_.root(), std::string(c.options) + " in/a.wav -");
    ASSERT_EQ(toStdout.status, 0) << c.options << toStdout.error;
    EXPECT_EQ(toStdout.output, readFile(work_.path("out"))) << c.options;
    EXPECT_EQ(toStdout.output.substr(0, c.starts.size()), c.starts) << c.options;
  }
}

TEST_F(NotesEntries, CorpusModeWritesEachFormatUnderItsExtension) {
  const struct {
    const char* format;
    const char* extension;
  } cases[] = {
      {"line", ".notes"}, {"csv", ".notes.csv"}, {"json", ".notes.json"}, {"midi", ".mid"}};
  for (const auto& c : cases) {
    const std::string format = std::string(" --format=") + c.format;
    const auto corpus =
        runTool(work_.root(), "-q --notes -o out" + format + " in/a.wav in/sub/b.wav");
    ASSERT_EQ(corpus.status, 0) << c.format << corpus.error;
    const auto single = runTool(work_.root(), "-q --notes" + format + " in/a.wav -");
    EXPECT_EQ(readFile(work_.path(std::string("out/in/a") + c.extension)), single.output)
        << c.format;
    EXPECT_TRUE(std::filesystem::exists(work_.path(std::string("out/in/sub/b") + c.extension)));
  }
}

TEST_F(NotesEntries, TheCEntriesGiveTheCppNotes) {
  const std::vector<pitchtrack::Note> expected = pitchtrack::trackNotes(samples_, kRate, 16);
  pitchtrack_notes* fromFile = nullptr;
  pitchtrack_notes* fromSamples = nullptr;
  pitchtrack_error error;
  ASSERT_EQ(pitchtrack_notes_file(work_.path("in/a.wav").c_str(), 0, &fromFile, &error),
            PITCHTRACK_OK)
      << error.message;
  ASSERT_EQ(pitchtrack_notes_samples(samples_.data(), samples_.size(), kRate, 16, 0, &fromSamples,
                                     &error),
            PITCHTRACK_OK);
  for (const pitchtrack_notes* notes : {fromFile, fromSamples}) {
    ASSERT_EQ(notes->count, expected.size());
    for (size_t i = 0; i < notes->count; ++i) {
      EXPECT_EQ(notes->notes[i].onset_seconds, expected[i].onsetSeconds);
      EXPECT_EQ(notes->notes[i].offset_seconds, expected[i].offsetSeconds);
      EXPECT_EQ(notes->notes[i].midi_note, expected[i].midiNote);
      EXPECT_EQ(notes->notes[i].velocity, expected[i].velocity);
    }
  }
  pitchtrack_notes_free(fromFile);
  pitchtrack_notes_free(fromSamples);
  EXPECT_EQ(pitchtrack_notes_file("in/a.wav", 0, nullptr, &error), PITCHTRACK_INVALID_ARGUMENT);
  EXPECT_STREQ(error.message, "notes is NULL");
  EXPECT_EQ(pitchtrack_notes_file("missing.wav", 0, &fromFile, &error), PITCHTRACK_WAVE_ERROR);
  EXPECT_EQ(fromFile, nullptr);
}

TEST_F(NotesEntries, PitchplotDrawsTheSameBarsFromTheCsvAndTheJson) {
  for (const char* format : {"csv", "json"}) {
    const auto run = runTool(
        work_.root(), std::string("-q --notes --format=") + format + " in/a.wav notes." + format);
    ASSERT_EQ(run.status, 0) << run.error;
  }
  ASSERT_EQ(runTool(work_.root(), "-q --precise in/a.wav a.pitch").status, 0);
  std::string svg[2];
  for (int i = 0; i < 2; ++i) {
    const auto plot = runTool(
        work_.root(), std::string("--notes notes.") + (i == 0 ? "csv" : "json") + " a.pitch a.svg",
        "", PITCHPLOT_BIN);
    ASSERT_EQ(plot.status, 0) << plot.error;
    svg[i] = readFile(work_.path("a.svg"));
  }
  EXPECT_EQ(svg[0], svg[1]);
  ASSERT_EQ(runTool(work_.root(), "a.pitch plain.svg", "", PITCHPLOT_BIN).status, 0);
  EXPECT_NE(svg[0], readFile(work_.path("plain.svg")));
  testsupport::writeText(work_.path("bad.csv"), "onset,offset,note\n0.1,x,60\n");
  const auto bad = runTool(work_.root(), "--notes bad.csv a.pitch b.svg", "", PITCHPLOT_BIN);
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.error.find("row 1 is not a note"), std::string::npos) << bad.error;
}

TEST_F(NotesEntries, NoteSettingsOutsideTheirRangeAreUsageErrors) {
  for (const char* options : {"--notes --min-note=0", "--notes --onset-db=0", "--format=mid"}) {
    EXPECT_EQ(runTool(work_.root(), std::string(options) + " in/a.wav out").status, 2) << options;
  }
  const auto longer = runTool(work_.root(), "-q --notes --min-note=0.5 in/a.wav -");
  EXPECT_EQ(longer.status, 0);
  const auto lines = std::count(longer.output.begin(), longer.output.end(), '\n');
  EXPECT_TRUE(lines > 0 && lines < 4) << "a 0.5 s shortest note drops or joins the 0.4 s ones\n"
                                      << longer.output;
}

}  // namespace
