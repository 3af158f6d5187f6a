// Frames handed out as they become final: through a pipe written in random pieces (odd byte
// counts, pieces ending inside a sample frame), each frame's line equals the whole-file output's
// line for it, byte for byte, at every rate; the frames outside the trimmed contour are unpitched.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "note_format.h"
#include "output_format.h"
#include "pitchtrack/pitchtrack.h"
#include "pitchtrack/pitchtrack_c.h"
#include "support/signals.h"
#include "support/wav_image.h"

namespace pitchtrack {
namespace {

// A WAV stream as a program that cannot know its length writes it: the data size 0xFFFFFFFF.
testwav::Bytes streamingWave(const std::vector<int16_t>& samples, uint32_t rate,
                             uint16_t channels) {
  testwav::Bytes body = testwav::chunk(
      "fmt ", testwav::fmtPayload(testwav::format(testwav::kTagPcm, channels, rate, 16)));
  testwav::appendText(body, "data");
  testwav::appendU32(body, 0xFFFFFFFF);
  for (const int16_t s : samples) {
    for (uint16_t c = 0; c < channels; ++c) testwav::appendU16(body, static_cast<uint16_t>(s));
  }
  return testwav::riffWave(body);
}

// Writes `bytes` into a pipe in pieces of 1..maxPiece bytes from a thread, and tracks the read
// end with `options`.
Contour trackThroughPipe(const testwav::Bytes& bytes, size_t maxPiece, uint32_t seed,
                         const Options& options) {
  int ends[2];
  EXPECT_EQ(::pipe(ends), 0);
  std::thread writer([&bytes, maxPiece, seed, in = ends[1]] {
    std::mt19937 random(seed);
    for (size_t at = 0; at < bytes.size();) {
      const size_t piece = std::min(bytes.size() - at, 1 + random() % maxPiece);
      if (::write(in, bytes.data() + at, piece) != static_cast<ssize_t>(piece)) break;
      at += piece;
    }
    ::close(in);
  });
  const Contour contour = trackStream(ends[0], "pipe", options);
  writer.join();
  ::close(ends[0]);
  return contour;
}

struct Case {
  uint32_t rate;
  uint16_t channels;
  size_t maxPiece;
};

TEST(LiveFrames, EqualTheFileOutputForRandomSplits) {
  const std::vector<Case> cases = {
      {8000, 1, 7}, {16000, 1, 3001}, {44100, 2, 65537}, {48000, 1, 257}, {16000, 2, 5}};
  for (const Case& c : cases) {
    const auto samples =
        testsignal::hummedNotes(static_cast<int>(c.rate), {196, 330, 247}, 0.4, 0.15, 0.3);
    const testwav::Bytes bytes = streamingWave(samples, c.rate, c.channels);
    Options precise;
    precise.analysis = Analysis::kPrecise;
    const Contour whole = track(samples, static_cast<int32_t>(c.rate), 16, precise);
    std::vector<std::string> rows;
    std::string notes = cli::noteCsvHeader();
    Options live = precise;
    live.keepFrames = false;
    live.frameSink = [&rows](const Frame& frame) {
      EXPECT_EQ(frame.index, static_cast<int64_t>(rows.size()));
      rows.push_back(cli::formatLiveFrame(cli::OutputFormat::kCsv, frame));
    };
    // A note comes once the frame that ends it has come, never before.
    live.noteSink = [&rows, &notes](const Note& note) {
      EXPECT_LE(note.offsetSeconds, static_cast<double>(rows.size()) * 0.032 + 1e-9);
      notes += cli::formatLiveNote(cli::OutputFormat::kNotesCsv, note);
    };
    const Contour kept = trackThroughPipe(bytes, c.maxPiece, c.rate + c.maxPiece, live);
    EXPECT_TRUE(kept.empty());
    const std::string label = std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " ch";
    ASSERT_FALSE(whole.empty()) << label;
    const std::string file = cli::formatCsv(whole);
    std::string expected = cli::formatLiveHeader(cli::OutputFormat::kCsv);
    for (size_t k = 0; k < rows.size(); ++k) {
      const bool inside = static_cast<int64_t>(k) >= whole.firstFrame &&
                          k < static_cast<size_t>(whole.firstFrame) + whole.size();
      if (inside) {
        expected += rows[k];
      } else {
        EXPECT_TRUE(rows[k].ends_with(",,,,\n")) << label << " frame " << k << ": " << rows[k];
      }
    }
    EXPECT_EQ(expected, file) << label;
    EXPECT_GE(whole.notes.size(), 3u) << label;
    EXPECT_EQ(notes, cli::formatNoteCsv(whole.notes)) << label;
  }
}

TEST(LiveFrames, TheDefaultAnalysisRefusesAFrameOrNoteSink) {
  Options frames;
  frames.frameSink = [](const Frame&) {};
  Options notes;
  notes.noteSink = [](const Note&) {};
  const std::vector<int16_t> samples(8000);
  for (const Options& options : {frames, notes}) {
    EXPECT_THROW(Tracker(8000, 16, options), std::invalid_argument);
    EXPECT_THROW(track(samples, 8000, 16, options), std::invalid_argument);
  }
}

TEST(LiveFrames, TheCCallbackGetsTheFramesOfTheCppSink) {
  const auto samples = testsignal::hummedNotes(11025, {262, 392}, 0.4);
  std::vector<Frame> expected;
  Options options;
  options.analysis = Analysis::kPrecise;
  options.frameSink = [&expected](const Frame& frame) { expected.push_back(frame); };
  Tracker tracker(11025, 16, options);
  tracker.push(samples);
  tracker.finish();
  std::vector<pitchtrack_frame> got;
  const auto collect = [](const pitchtrack_frame* frame, void* sink) {
    static_cast<std::vector<pitchtrack_frame>*>(sink)->push_back(*frame);
  };
  pitchtrack_live* live = nullptr;
  ASSERT_EQ(pitchtrack_live_new(11025, 16, collect, &got, &live, nullptr), PITCHTRACK_OK);
  for (size_t at = 0; at < samples.size(); at += 999) {
    const size_t count = std::min<size_t>(999, samples.size() - at);
    ASSERT_EQ(pitchtrack_live_push(live, samples.data() + at, count, nullptr), PITCHTRACK_OK);
  }
  ASSERT_EQ(pitchtrack_live_finish(live, nullptr), PITCHTRACK_OK);
  pitchtrack_error error;
  EXPECT_EQ(pitchtrack_live_push(live, samples.data(), 1, &error), PITCHTRACK_INVALID_ARGUMENT);
  pitchtrack_live_free(live);
  ASSERT_EQ(got.size(), expected.size());
  for (size_t k = 0; k < got.size(); ++k) {
    EXPECT_EQ(got[k].index, expected[k].index);
    EXPECT_EQ(got[k].value, expected[k].value);
    EXPECT_EQ(got[k].hz, expected[k].hz);
    EXPECT_EQ(got[k].confidence, expected[k].confidence);
  }
  EXPECT_EQ(pitchtrack_live_new(500, 16, collect, &got, &live, &error),
            PITCHTRACK_INVALID_ARGUMENT);
}

}  // namespace
}  // namespace pitchtrack
