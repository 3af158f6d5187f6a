// The warnings of the library: each one where the analysis really loses something, none where
// it does not, never a change to the contour, and the remedies each warning names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pitchtrack/pitchtrack.h"
#include "support/analysis_examples.h"

namespace {

using pitchtrack::Contour;
using pitchtrack::Options;
using pitchtrack::Voicing;
using pitchtrack::Warning;
using pitchtrack::WarningKind;

struct Heard {
  Contour contour;
  std::vector<Warning> warnings;
};

Heard trackListening(const std::vector<int16_t>& samples, Options options) {
  Heard heard;
  options.warning = [&heard](const Warning& w) { heard.warnings.push_back(w); };
  heard.contour = pitchtrack::track(samples, examples::kRate, 16, options);
  return heard;
}

Options remedies(bool normalize, bool keepFinal, bool strict) {
  Options options;
  options.normalize = normalize;
  options.keepFinal = keepFinal;
  options.voicing = strict ? Voicing::kStrict : Voicing::kRelative;
  return options;
}

// The notes of the final-gap case: the last one starts at 0.3 + 4 * 0.4 + 3 * 0.2 + 1.2 = 3.7 s.
std::vector<int16_t> lateLastNote() { return examples::notes({57, 59, 60, 62, 64}, 0.4, 0.2, 1.2); }

std::vector<int16_t> quietNotes() { return examples::scaled(examples::notes({48, 52, 55}), 0.018); }

struct WarningCase {
  const char* name;
  std::vector<int16_t> samples;
  Options options;
  std::vector<WarningKind> kinds;
  std::string says;  // part of the first warning's message
  double start;      // the first warning's start, to the 16 ms of the detector
  double end;
};

std::vector<WarningCase> warningCases() {
  return {
      {"last note after 1.2 s",
       lateLastNote(),
       {},
       {WarningKind::kFinalStretchDropped},
       "--keep-final keeps it",
       3.7,
       4.1},
      {"the same, kept", lateLastNote(), remedies(false, true, false), {}, "", 0, 0},
      {"quiet notes",
       quietNotes(),
       {},
       {WarningKind::kQuietRecording, WarningKind::kEmptyContour},
       "--normalize",
       0,
       2.2},
      {"quiet notes, normalised", quietNotes(), remedies(true, false, false), {}, "", 0, 0},
      {"faint noise",
       examples::whiteNoise(2, 200),
       {},
       {WarningKind::kQuietRecording, WarningKind::kEmptyContour},
       "-44.",
       0,
       2},
      {"noise, strict",
       examples::whiteNoise(2, 10000),
       remedies(true, false, true),
       {WarningKind::kEmptyContour},
       "not silent",
       0,
       2},
      {"clipped note",
       examples::scaled(examples::notes({57}), 4),
       {},
       {WarningKind::kClipping},
       "at full scale",
       0.3,
       1.0},
      {"three octaves",
       examples::notes({45, 45, 45, 45, 60, 60, 75, 75, 75, 75}, 0.3),
       {},
       {WarningKind::kOutsideFinalRange},
       "81 of 102 voiced frames",
       0.288,
       5.12},
      {"clean notes", examples::notes({57, 59, 60}), {}, {}, "", 0, 0},
      {"silence", std::vector<int16_t>(8000, 0), {}, {}, "", 0, 0},
  };
}

TEST(AnalysisWarnings, EachLossIsReportedWithItsTimeAndRemedy) {
  for (const WarningCase& c : warningCases()) {
    SCOPED_TRACE(c.name);
    const Heard heard = trackListening(c.samples, c.options);
    std::vector<WarningKind> kinds;
    for (const Warning& w : heard.warnings) kinds.push_back(w.kind);
    EXPECT_EQ(kinds, c.kinds);
    if (heard.warnings.empty() || c.kinds.empty()) continue;
    const Warning& first = heard.warnings.front();
    EXPECT_NE(first.message.find(c.says), std::string::npos) << first.message;
    EXPECT_EQ(first.message.find('\n'), std::string::npos) << first.message;
    EXPECT_NEAR(first.startSeconds, c.start, 0.02) << first.message;
    EXPECT_NEAR(first.endSeconds, c.end, 0.1) << first.message;
  }
}

TEST(AnalysisWarnings, ListeningNeverChangesTheContour) {
  for (const WarningCase& c : warningCases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(trackListening(c.samples, c.options).contour.values,
              pitchtrack::track(c.samples, examples::kRate, 16, c.options).values);
  }
}

std::vector<std::string> messagesOf(const std::vector<Warning>& warnings) {
  std::vector<std::string> messages;
  for (const Warning& w : warnings) messages.push_back(w.message);
  return messages;
}

TEST(AnalysisWarnings, TheContourCarriesThemWhetherOrNotAnyoneListens) {
  for (const WarningCase& c : warningCases()) {
    SCOPED_TRACE(c.name);
    const Heard heard = trackListening(c.samples, c.options);
    EXPECT_EQ(messagesOf(heard.contour.warnings), messagesOf(heard.warnings));
    const Contour unheard = pitchtrack::track(c.samples, examples::kRate, 16, c.options);
    EXPECT_EQ(messagesOf(unheard.warnings), messagesOf(heard.warnings));
  }
}

TEST(AnalysisWarnings, StreamAndFileReportTheSameWarnings) {
  const std::vector<int16_t> samples = lateLastNote();
  std::vector<std::string> streamed;
  Options options;
  options.warning = [&streamed](const Warning& w) { streamed.push_back(w.message); };
  pitchtrack::Tracker tracker(examples::kRate, 16, options);
  for (size_t at = 0; at < samples.size(); at += 1000) {
    tracker.push(samples.data() + at, std::min<size_t>(1000, samples.size() - at));
  }
  EXPECT_EQ(messagesOf(tracker.finish().warnings), streamed);
  ASSERT_EQ(streamed.size(), 1u);
  EXPECT_EQ(streamed[0], trackListening(samples, {}).warnings.at(0).message);
}

}  // namespace
