// The precise analysis through every entry: the tool's --precise in each output format, the C++
// entries and the C flags all give the same values, and bright instrument tones keep their
// octave (the default analysis reads C#5, F5 and G#5 sawtooths an octave or more low).
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "pitchtrack/pitchtrack.h"
#include "pitchtrack/pitchtrack_c.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"

namespace {

using testsupport::runTool;

constexpr int kRate = 44100;

// Notes of `seconds` each as band-limited sawtooths (every harmonic below 10 kHz, weight 1/k),
// back to back without silence.
std::vector<int16_t> sawtoothMelody(const std::vector<int>& midiNotes, double seconds) {
  std::vector<int16_t> samples;
  double phase = 0;
  for (const int note : midiNotes) {
    const double f0 = 440.0 * std::pow(2.0, (note - 69) / 12.0);
    for (int n = 0; n < static_cast<int>(seconds * kRate); ++n) {
      phase += 2 * std::numbers::pi * f0 / kRate;
      double v = 0;
      for (int k = 1; k * f0 < 10000; ++k) v += std::sin(k * phase) / k;
      samples.push_back(static_cast<int16_t>(std::lround(6000 * v)));
    }
  }
  return samples;
}

// The values of the pitch line "a+b+c\n".
std::vector<int32_t> parseLine(const std::string& line) {
  std::vector<int32_t> values;
  size_t start = 0;
  while (start < line.size() && line[start] != '\n') {
    size_t end = start;
    while (end < line.size() && line[end] != '+' && line[end] != '\n') ++end;
    values.push_back(std::stoi(line.substr(start, end - start)));
    start = end + (end < line.size() && line[end] == '+' ? 1 : 0);
    if (end < line.size() && line[end] == '\n') break;
  }
  return values;
}

// Each note's frames away from its edges (one frame either side) carry the note, in tenths.
void expectNotes(const std::vector<int32_t>& values, const std::vector<int>& notes,
                 double seconds) {
  const int framesPerNote = static_cast<int>(seconds / 0.032);
  ASSERT_GE(values.size(), notes.size() * static_cast<size_t>(framesPerNote) - 2);
  for (size_t n = 0; n < notes.size(); ++n) {
    for (int k = 1; k + 1 < framesPerNote; ++k) {
      const size_t frame = n * static_cast<size_t>(framesPerNote) + static_cast<size_t>(k);
      if (frame >= values.size()) break;
      EXPECT_NEAR(values[frame], notes[n] * 10, 1) << "note " << n << ", frame " << frame;
    }
  }
}

class PreciseEntries : public testing::Test {
 protected:
  const std::vector<int> notes_{73, 77, 80, 36, 83};  // C#5, F5, G#5, C2, B5
  const double seconds_ = 0.64;
  const std::vector<int16_t> samples_ = sawtoothMelody(notes_, seconds_);
  testsupport::TempDir dir_;

  void SetUp() override {
    testwav::writeFile(dir_.path("saw.wav"), testwav::pcmWave(samples_, kRate));
  }
};

TEST_F(PreciseEntries, ToolKeepsTheOctaveOfBrightTones) {
  const auto run = runTool(dir_.root(), "--precise saw.wav saw.pitch");
  ASSERT_EQ(run.status, 0) << run.error;
  EXPECT_EQ(run.output, "Writing pitch to saw.pitch\n");
  expectNotes(parseLine(testsupport::readFile(dir_.path("saw.pitch"))), notes_, seconds_);
}

TEST_F(PreciseEntries, EveryEntryGivesTheSameValues) {
  pitchtrack::Options precise;
  precise.analysis = pitchtrack::Analysis::kPrecise;
  const pitchtrack::Contour fromFile = pitchtrack::trackFile(dir_.path("saw.wav"), precise);
  expectNotes(fromFile.values, notes_, seconds_);
  EXPECT_EQ(pitchtrack::track(samples_, kRate, 16, precise).values, fromFile.values);

  pitchtrack::Tracker tracker(kRate, 16, precise);
  for (size_t at = 0; at < samples_.size(); at += 1000) {
    tracker.push(samples_.data() + at, std::min<size_t>(1000, samples_.size() - at));
  }
  const pitchtrack::Contour streamed = tracker.finish();
  EXPECT_EQ(streamed.values, fromFile.values);
  EXPECT_EQ(streamed.hz, fromFile.hz);
  EXPECT_EQ(streamed.confidence, fromFile.confidence);

  pitchtrack_contour* c = nullptr;
  ASSERT_EQ(
      pitchtrack_track_file_with(dir_.path("saw.wav").c_str(), PITCHTRACK_PRECISE, &c, nullptr),
      PITCHTRACK_OK);
  ASSERT_EQ(c->count, fromFile.size());
  ASSERT_NE(c->hz, nullptr);
  for (size_t i = 0; i < c->count; ++i) {
    EXPECT_EQ(c->values[i], fromFile.values[i]);
    EXPECT_EQ(c->hz[i], fromFile.hz[i]);
    EXPECT_EQ(c->confidence[i], fromFile.confidence[i]);
  }
  pitchtrack_contour_free(c);
  ASSERT_EQ(pitchtrack_track_file_with(dir_.path("saw.wav").c_str(), 0, &c, nullptr),
            PITCHTRACK_OK);
  EXPECT_EQ(c->hz, nullptr) << "the default analysis measures no Hz";
  pitchtrack_contour_free(c);
  pitchtrack_error error;
  EXPECT_EQ(pitchtrack_track_file_with(dir_.path("saw.wav").c_str(), 0x100, &c, &error),
            PITCHTRACK_INVALID_ARGUMENT);
}

TEST_F(PreciseEntries, CsvAndJsonCarryMeasuredHertzAndConfidence) {
  const auto csv = runTool(dir_.root(), "-q --precise --format=csv saw.wav -");
  ASSERT_EQ(csv.status, 0) << csv.error;
  const std::string header = "frame,seconds,value,hz,midi,confidence\n";
  ASSERT_EQ(csv.output.substr(0, header.size()), header);
  // The second frame of C#5 (554.37 Hz): the measured frequency, not the note's.
  const std::string row = csv.output.substr(csv.output.find("\n1,0.032,") + 1);
  double hz = 0;
  double confidence = 0;
  ASSERT_EQ(std::sscanf(row.c_str(), "1,0.032,730,%lf,73.0,%lf", &hz, &confidence), 2) << row;
  EXPECT_NEAR(hz, 554.37, 554.37 * 0.003);
  EXPECT_GT(confidence, 0.9);
  EXPECT_LE(confidence, 1.0);

  const auto json = runTool(dir_.root(), "-q --precise --format=json saw.wav -");
  ASSERT_EQ(json.status, 0) << json.error;
  for (const char* member : {"\"values\": [730", "\"hz\": [", "\"confidence\": [0."}) {
    EXPECT_NE(json.output.find(member), std::string::npos) << member << " in " << json.output;
  }
}

}  // namespace
